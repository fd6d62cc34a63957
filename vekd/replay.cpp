#include "replay.h"

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

std::unique_ptr<ReplayFrames> ReplayFrames::open(const std::string& path, bool loop, std::string& error,
                                                 std::string& note) {
    vektake::Summary summary;
    if (!vektake::scanTake(path, summary, error)) return nullptr;
    if (summary.frames == 0) {
        error = summary.cutShort.empty() ? path + ": the take holds no frame" : summary.cutShort;
        return nullptr;
    }
    note = summary.cutShort;
    std::unique_ptr<ReplayFrames> replay(new ReplayFrames(std::move(summary), loop));
    if (!replay->file_.open(path, error)) return nullptr;
    return replay;
}

ReplayFrames::ReplayFrames(vektake::Summary summary, bool loop)
    : summary_(std::move(summary)),
      loop_(loop),
      rebuilds_((summary_.session.flags & vektake::kPeaksCarryLeds) && summary_.peakSections),
      zUp_(!(summary_.session.flags & vektake::kWorldYUp)),
      reconstruction_(summary_.leds) {
    for (const vektake::Camera& c : summary_.cameras) {
        cameras_.push_back(c.record);
        if (zUp_) zUpToYUp(cameras_.back());
        calibration_.push_back(calibratedModel(cameras_.back(), c.fov));
    }
}

bool ReplayFrames::nextFrame(vektake::Item& item) {
    for (bool rewound = false;;) {
        const int r = file_.next(item);
        if (r == 1 && item.kind == vektake::Kind::Frame) return true;
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
        if (led >= 0 && cameras_[image.camera].cond >= 0)
            reconstruction_.addReading(led, image.camera,
                                       calibration_[image.camera].readingPlane(image.detector, image.pos));
    }
}

}  // namespace vekd
