#include "take_frames.h"

#include <algorithm>
#include <limits>
#include <set>

#include "frame_rows.h"
#include "world_up.h"

namespace vekpy {

namespace {

// The ids of one stream's records in a frame.
template <typename Record>
void idsOf(const vekwire::FrameView& f, int key, std::vector<int32_t>& out) {
    const int s = vek_stream_index(key);
    out.clear();
    for (uint32_t i = 0; i < f.count[s]; ++i) out.push_back(recordAt<Record>(f.records[s], i).id);
}

// Collects ids into `all`; frames mostly repeat the previous frame's ids,
// which are not looked up again.
class IdSet {
public:
    template <typename Record>
    void add(const vekwire::FrameView& f, int key) {
        idsOf<Record>(f, key, ids_);
        if (ids_ == last_) return;
        all_.insert(ids_.begin(), ids_.end());
        last_.swap(ids_);
    }
    std::vector<int32_t> sorted() const { return {all_.begin(), all_.end()}; }

private:
    std::vector<int32_t> ids_, last_;
    std::set<int32_t> all_;
};

std::unordered_map<int32_t, size_t> columns(const std::vector<int32_t>& ids) {
    std::unordered_map<int32_t, size_t> out;
    for (size_t i = 0; i < ids.size(); ++i) out[ids[i]] = i;
    return out;
}

}  // namespace

bool TakeFrames::open(const std::string& path, std::string& error) {
    if (!file_.open(path, error)) return false;
    IdSet markers, rigids;
    vektake::Item item;
    int r;
    frames_ = 0;
    while ((r = file_.next(item)) == 1) {
        if (item.kind == vektake::Kind::End) end_ = item.end;
        if (item.kind != vektake::Kind::Frame) continue;
        ++frames_;
        markers.add<MarkerRecord>(item.frame, VEK_MARKERS);
        rigids.add<RigidRecord>(item.frame, VEK_RIGIDS);
    }
    if (r < 0) {
        error = file_.error();
        return false;
    }
    session_ = file_.reader().session();
    zUp_ = !(session_.flags & vektake::kWorldYUp);
    localTimes_ = file_.reader().version() >= 2;
    cameras_.clear();
    for (vektake::Camera c : file_.reader().cameras()) {
        if (zUp_) vekd::zUpToYUp(c.record);
        cameras_.push_back(cameraRow(c.record));
    }
    cutShort_ = file_.cutShort();
    markerIds_ = markers.sorted();
    rigidIds_ = rigids.sorted();
    markerColumn_ = columns(markerIds_);
    rigidColumn_ = columns(rigidIds_);
    // A recorder that was master defined tracker 0 on LEDs 0 .. n-1.
    const bool ownTracker = session_.flags & vektake::kRecordedAsMaster;
    markerLeds_.clear();
    for (const int32_t id : markerIds_)
        markerLeds_.push_back(ownTracker && vek_marker_tracker(id) == 0 ? vek_marker_index(id) : -1);
    return rewind(error);
}

bool TakeFrames::rewind(std::string& error) {
    position_ = 0;
    lastNumber_ = 0;
    if (file_.rewind()) return true;
    error = file_.error();
    return false;
}

bool TakeFrames::nextFrame(vektake::Item& item, std::string& error) {
    for (;;) {
        const int r = file_.next(item);
        if (r < 0) error = file_.error();
        if (r != 1) return false;
        if (item.kind == vektake::Kind::Frame) return true;
    }
}

bool TakeFrames::read(uint32_t start, uint32_t stop, TakeBlock& out, std::string& error) {
    if (start < position_ && !rewind(error)) return false;
    vektake::Item item;
    for (; position_ < stop; ++position_) {
        if (!nextFrame(item, error)) {
            if (error.empty()) error = file_.path() + ": the take changed since it was opened";
            return false;
        }
        if (position_ >= start) put(item, position_ - start, out);
        lastNumber_ = item.frame.header.frame;
    }
    return true;
}

void TakeFrames::put(const vektake::Item& item, size_t row, TakeBlock& out) {
    const vekwire::FrameView& f = item.frame;
    const int32_t number = f.header.frame;
    out.number[row] = number;
    out.time[row] = static_cast<double>(f.header.generatedUs) / 1e6;
    if (out.localTime)
        out.localTime[row] = item.localTimeUs == vektake::kNoLocalTime
                                 ? std::numeric_limits<double>::quiet_NaN()
                                 : static_cast<double>(item.localTimeUs) / 1e6;
    out.dropped[row] = position_ > 0 && number > lastNumber_ ? int64_t{number} - lastNumber_ - 1 : 0;
    out.frequency[row] = f.header.frequency;

    MarkerRow* markers = out.markers + row * markerIds_.size();
    for (size_t i = 0; i < markerIds_.size(); ++i) markers[i] = unseenMarker(markerIds_[i], markerLeds_[i]);
    for (uint32_t i = 0; i < f.count[VEK_MARKER_STREAM]; ++i) {
        MarkerRecord r = recordAt<MarkerRecord>(f.records[VEK_MARKER_STREAM], i);
        if (zUp_) vekd::zUpToYUp(r);
        const auto column = markerColumn_.find(r.id);
        if (column != markerColumn_.end())
            markers[column->second] = markerRow(r, markerLeds_[column->second]);
    }
    RigidRow* rigids = out.rigids + row * rigidIds_.size();
    for (size_t i = 0; i < rigidIds_.size(); ++i) rigids[i] = unfoundRigid(rigidIds_[i]);
    for (uint32_t i = 0; i < f.count[VEK_RIGID_STREAM]; ++i) {
        RigidRecord r = recordAt<RigidRecord>(f.records[VEK_RIGID_STREAM], i);
        if (zUp_) vekd::zUpToYUp(r);
        const auto column = rigidColumn_.find(r.id);
        if (column != rigidColumn_.end()) rigids[column->second] = rigidRow(r);
    }
    appendPeaks(f, out.peaks);
    appendDetectors(f, out.detectors);
}

}  // namespace vekpy
