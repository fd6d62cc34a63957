#include "replay.h"

#include <algorithm>
#include <cstring>

#include "world_up.h"

namespace vekd {

namespace {

// The records of one stream of a recorded frame, copied out (the payload
// need not be aligned for them), each with the serving frame's number.
template <typename Record>
void copyRecords(const vekwire::FrameView& f, int key, int32_t frame, std::vector<Record>& out) {
    const int stream = vek_stream_index(key);
    out.resize(f.count[stream]);
    if (!out.empty()) std::memcpy(out.data(), f.records[stream], out.size() * sizeof(Record));
    for (Record& r : out) r.frame = frame;
}

}  // namespace

// The whole take is checked, then played, through one descriptor: a take
// renamed over the path meanwhile is not what plays.
std::unique_ptr<ReplayFrames> ReplayFrames::open(const std::string& path, bool loop, std::string& error,
                                                 std::string& note) {
    vektake::TakeFile file;
    vektake::Summary summary;
    if (!file.open(path, error) || !vektake::scanTake(file, summary, error)) return nullptr;
    if (summary.frames == 0) {
        error = summary.cutShort.empty() ? path + ": the take holds no frame" : summary.cutShort;
        return nullptr;
    }
    if (!file.rewind()) {
        error = file.error();
        return nullptr;
    }
    note = summary.cutShort;
    return std::unique_ptr<ReplayFrames>(new ReplayFrames(std::move(file), std::move(summary), loop));
}

ReplayFrames::ReplayFrames(vektake::TakeFile file, vektake::Summary summary, bool loop)
    : summary_(std::move(summary)),
      loop_(loop),
      rebuilds_((summary_.session.flags & vektake::kPeaksCarryLeds) && summary_.peakSections),
      zUp_(!(summary_.session.flags & vektake::kWorldYUp)),
      file_(std::move(file)),
      reconstruction_(summary_.leds) {
    for (const vektake::Camera& c : summary_.cameras) {
        cameras_.push_back(c.record);
        if (zUp_) zUpToYUp(cameras_.back());
        calibration_.push_back(calibratedModel(cameras_.back(), c.fov));
    }
}

// Whether a session record or camera list read again (after a rewind) is
// the one checked at the start. The file itself may have been rewritten in
// place since; its frames would then name cameras this replay does not have.
bool ReplayFrames::unchanged(const vektake::Item& item) const {
    if (item.kind == vektake::Kind::Session)
        return item.session.flags == summary_.session.flags &&
               item.session.startUnixUs == summary_.session.startUnixUs;
    if (item.kind != vektake::Kind::Cameras) return true;
    const auto same = [](const vektake::Camera& a, const vektake::Camera& b) {
        return std::memcmp(&a.record, &b.record, sizeof a.record) == 0 && a.fov[0] == b.fov[0] &&
               a.fov[1] == b.fov[1];
    };
    return std::equal(item.cameras.begin(), item.cameras.end(), summary_.cameras.begin(),
                      summary_.cameras.end(), same);
}

bool ReplayFrames::nextFrame(vektake::Item& item) {
    for (bool rewound = false;;) {
        const int r = file_.next(item);
        if (r == 1 && item.kind == vektake::Kind::Frame) return true;
        if (r == 1 && !unchanged(item)) {
            endMessage_ = "replay stopped: " + file_.path() + ": the take changed while it played";
            return false;
        }
        if (r == 1) continue;
        if (r < 0) {
            endMessage_ = "replay stopped: " + file_.error();
            return false;
        }
        if (!loop_ || rewound) {
            endMessage_ = "end of take: " + std::to_string(served_) + " frames served";
            return false;
        }
        if (!file_.rewind()) {
            endMessage_ = "replay stopped: " + file_.error();
            return false;
        }
        rewound = true;
    }
}

bool ReplayFrames::generate(int32_t frame, double, const TrackerTable& trackers, FrameData& out) {
    vektake::Item item;
    if (!nextFrame(item)) return false;
    ++served_;
    out.clear();
    const vekwire::FrameView& f = item.frame;
    copyRecords(f, VEK_DETECTORS, frame, out.detectors);
    const bool readings = rebuilds_ && (f.header.mask & VEK_IMAGE_BIT);
    reconstruction_.startFrame(trackers);
    servePeaks(frame, f, out);
    if (readings) {
        reconstruction_.finishFrame(frame, trackers, out);
    } else {
        copyRecords(f, VEK_MARKERS, frame, out.markers);
        copyRecords(f, VEK_RIGIDS, frame, out.rigids);
        if (zUp_) {
            for (MarkerRecord& m : out.markers) zUpToYUp(m);
            for (RigidRecord& r : out.rigids) zUpToYUp(r);
        }
    }
    return true;
}

// Peaks as recorded. When they carry LED ids, each takes the marker id of
// the trackers defined now, and the calibrated cameras' readings go to the
// reconstruction.
void ReplayFrames::servePeaks(int32_t frame, const vekwire::FrameView& f, FrameData& out) {
    copyRecords(f, VEK_IMAGES, frame, out.images);
    out.imageLeds.assign(out.images.size(), -1);
    if (!rebuilds_) return;
    for (size_t i = 0; i < out.images.size(); ++i) {
        ImageRecord& image = out.images[i];
        const int led = image.id >= 0 ? reconstruction_.ledIndex(image.id) : -1;
        out.imageLeds[i] = image.id;
        image.id = led >= 0 ? reconstruction_.markerId(led) : -1;
        // The reader checked the camera against the take's list, which is
        // this replay's; checked here all the same before indexing.
        const auto camera = static_cast<size_t>(image.camera);
        if (led >= 0 && image.camera >= 0 && camera < cameras_.size() && camera < calibration_.size() &&
            cameras_[camera].cond >= 0)
            reconstruction_.addReading(led, image.camera,
                                       calibration_[camera].readingPlane(image.detector, image.pos));
    }
}

}  // namespace vekd
