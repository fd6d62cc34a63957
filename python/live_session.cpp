#include "live_session.h"

#include <time.h>

#include <algorithm>
#include <cstring>

namespace vekpy {

using vekwire::Op;

LiveSession::LiveSession() : queue_(kQueueFrames) {
    session_.setFrameSink([this](const uint8_t* payload, size_t size, const vekwire::FrameView& view) {
        onFrame(payload, size, view);
    });
}

int LiveSession::connect(const std::string& server, bool slave, int timeoutMs) {
    close();
    const int r = session_.init(server.c_str(), slave ? VEK_SLAVE : 0, timeoutMs);
    if (r != 0) {
        const int code = session_.takeError();
        return code != 0 ? code : r;
    }
    open_ = true;
    slave_ = slave;
    sameClock_ = integer(VEK_SAME_CLOCK) != 0;
    clientId_ = integer(VEK_CLIENT_ID);
    streaming_ = false;
    lost_ = 0;
    restarted_ = true;
    leds_.clear();
    trackerIds_.clear();
    return 0;
}

void LiveSession::close() {
    session_.done();
    queue_.clear();
    open_ = false;
}

void LiveSession::onFrame(const uint8_t* payload, size_t size, const vekwire::FrameView& view) {
    const int32_t number = view.header.frame;
    const int64_t lost = !restarted_ && number > lastNumber_ ? int64_t{number} - lastNumber_ - 1 : 0;
    restarted_ = false;
    lastNumber_ = number;
    queue_.push(payload, size, cameras(), lost);
}

std::shared_ptr<const std::vector<CameraRow>> LiveSession::cameras() {
    const std::vector<VEKCamera>& now = session_.cameraList();
    const bool same =
        cameraRows_ && now.size() == cameraRecords_.size() &&
        (now.empty() || std::memcmp(now.data(), cameraRecords_.data(), now.size() * sizeof(VEKCamera)) == 0);
    if (!same) {
        cameraRecords_ = now;
        cameraRows_ = std::make_shared<const std::vector<CameraRow>>(cameraRows(now));
    }
    return cameraRows_;
}

int LiveSession::failed() {
    const int code = session_.takeError();
    if (!session_.pump(0) && lost_ == 0) lost_ = code;
    return code != 0 ? code : VEK_INVALID_OPERATION;
}

int LiveSession::usable() const {
    if (lost_ != 0) return lost_;
    return open_ ? 0 : VEK_INVALID_OPERATION;
}

int LiveSession::request(Op op, int target, int key, int value, const float* f, int nf) {
    if (const int code = usable()) return code;
    return session_.request(op, target, key, value, f, nf) == 0 ? 0 : failed();
}

int LiveSession::setInteger(int key, int value) {
    if (const int code = usable()) return code;
    return session_.setInteger(key, value) ? 0 : failed();
}

int LiveSession::defineTracker(const vektk::Tracker& tracker) {
    int code = request(Op::TrackerCreate, tracker.id, VEK_CREATE, tracker.type);
    const bool created = code == 0;
    for (const vektk::MarkerDef& m : tracker.markers) {
        if (code != 0) break;
        const int marker = vektk::MarkerId(tracker.id, m.index);
        code = request(Op::MarkerInt, marker, VEK_MARKER_LED, m.led);
        if (code == 0 && m.pos.size() > 2)
            code = request(Op::MarkerFloat, marker, VEK_MARKER_POSITION, 0, m.pos.data(), 3);
    }
    for (const auto& [parameter, value] : tracker.options)
        if (code == 0) code = request(Op::TrackerParam, tracker.id, parameter, 0, &value, 1);
    if (code == 0) code = request(Op::TrackerOp, tracker.id, 0, VEK_ON);
    if (code != 0) {
        // Nothing half made stays on the server.
        if (created && lost_ == 0) {
            request(Op::TrackerOp, tracker.id, 0, VEK_OFF);
            request(Op::TrackerOp, tracker.id, 0, VEK_DESTROY);
        }
        return code;
    }
    for (const vektk::MarkerDef& m : tracker.markers) leds_[vektk::MarkerId(tracker.id, m.index)] = m.led;
    trackerIds_.push_back(tracker.id);
    return 0;
}

int LiveSession::removeTracker(int id) {
    int code = request(Op::TrackerOp, id, 0, VEK_OFF);
    if (code == 0) code = request(Op::TrackerOp, id, 0, VEK_DESTROY);
    if (code != 0) return code;
    std::erase_if(leds_, [id](const auto& entry) { return vek_marker_tracker(entry.first) == id; });
    std::erase(trackerIds_, id);
    return 0;
}

bool LiveSession::hasTracker(int id) const {
    return std::find(trackerIds_.begin(), trackerIds_.end(), id) != trackerIds_.end();
}

int LiveSession::freeTrackerId() const {
    int id = 0;
    while (hasTracker(id)) ++id;
    return id;
}

int LiveSession::setFrequency(float hz) {
    if (const int code = usable()) return code;
    return session_.setFloat(VEK_FREQUENCY, hz) ? 0 : failed();
}

int LiveSession::setStreams(int mask) {
    for (int s = 0; s < VEK_STREAM_COUNT; ++s) {
        const bool on = (mask & vek_stream_bit(s)) != 0;
        if (const int code = setInteger(vek_stream_key(s), on ? VEK_ON : VEK_OFF)) return code;
    }
    return 0;
}

int LiveSession::setStreaming(bool on) {
    // Frames sent before a stop came in with its reply: whatever number the
    // next frame bears, no frame was lost before it.
    if (on && !streaming_) restarted_ = true;
    if (const int code = setInteger(VEK_STREAMING, on ? VEK_ON : VEK_OFF)) return code;
    streaming_ = on;
    return 0;
}

int LiveSession::next(FrameRows& out, int waitMs, bool newest) {
    if (open_ && lost_ == 0 && (newest || queue_.size() == 0)) {
        if (!session_.pump(queue_.size() == 0 ? waitMs : 0)) {
            const int code = session_.takeError();
            lost_ = code != 0 ? code : VEK_SERVER_STOPPED;
        }
    }
    if (newest) queue_.keepNewest();
    if (!queue_.pop(taken_)) return lost_ != 0 || !open_ ? -1 : 0;
    vekwire::FrameView view;
    std::string error;
    // The library decoded it already: this cannot fail.
    if (!vekwire::decodeFrame(taken_.payload.data(), taken_.payload.size(), view, error)) return 0;
    out = FrameRows{};
    fillFrameRows(view, leds_, out);
    out.dropped = taken_.lost;
    out.cameras = taken_.cameras;
    int64_t localUs = 0;
    if (session_.localTimeOf(out.generatedUs, CLOCK_MONOTONIC, localUs)) out.localUs = localUs;
    return 1;
}

int LiveSession::integer(int key) {
    int value = 0;
    session_.getInteger(key, value);
    return value;
}

float LiveSession::frequency() {
    float hz = 0;
    session_.getFloat(VEK_FREQUENCY, hz);
    return hz;
}

}  // namespace vekpy
