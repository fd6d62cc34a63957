#include "take_writer.h"

#include <cstring>

namespace vektake {

Writer::Writer(Session session, std::vector<VEKCamera> cameras)
    : session_(std::move(session)), cameras_(std::move(cameras)) {}

void Writer::begin(const vekwire::FrameView& first, std::string& out) {
    std::vector<Camera> cameras(cameras_.size());
    for (size_t i = 0; i < cameras_.size(); ++i) {
        cameras[i].record = cameras_[i];
        const uint32_t word = cameras_[i].word;
        cameras[i].fov[0] = cameras[i].fov[1] = word >= 1000 && word <= 179000 ? word : kDefaultFov;
    }
    for (uint32_t k = 0; k < first.count[VEK_DETECTOR_STREAM]; ++k) {
        DetectorRecord d;
        std::memcpy(&d, first.records[VEK_DETECTOR_STREAM] + size_t{k} * sizeof d, sizeof d);
        const bool known = d.camera >= 0 && static_cast<size_t>(d.camera) < cameras.size() &&
                           (d.detector == 0 || d.detector == 1) && d.fov >= 1000 && d.fov <= 179000;
        if (known) cameras[d.camera].fov[d.detector] = d.fov;
    }
    appendFileHeader(out);
    appendSession(out, session_);
    appendCameras(out, cameras);
}

bool Writer::frame(const uint8_t* payload, size_t size, const vekwire::FrameView& view, int64_t localTimeUs,
                   std::string& out, std::string& why) {
    if (!checkFrame(view, cameras_.size(), why)) return false;
    if (frames_ > 0 && !frameFollows(lastFrame_, view.header.frame, why)) return false;
    const size_t before = out.size();
    if (frames_ == 0) {
        begin(view, out);
        firstUs_ = view.header.generatedUs;
    } else if (view.header.frame > lastFrame_ + 1) {
        dropped_ += static_cast<uint32_t>(view.header.frame - lastFrame_ - 1);
    }
    appendFrame(out, localTimeUs, payload, size);
    ++frames_;
    lastFrame_ = view.header.frame;
    lastUs_ = view.header.generatedUs;
    bytes_ += out.size() - before;
    return true;
}

void Writer::end(std::string& out) {
    if (frames_ == 0) return;
    const size_t before = out.size();
    appendEnd(out, End{frames_, dropped_, durationUs()});
    bytes_ += out.size() - before;
}

}  // namespace vektake
