#include "vek.h"

#include <algorithm>
#include <iostream>

#include "hex_text.h"

namespace vektk {
namespace {

constexpr int kFlushPolls = 480;

// A refused request: reported by the host, the session goes on.
bool IsRefusal(int code) {
    return code == VEK_INVALID_VALUE || code == VEK_INVALID_ENUM || code == VEK_INVALID_OPERATION;
}

}  // namespace

VEK::VEK(float scale) : scale(scale), pending(std::make_unique<FrameSet>()) {}

VEK::~VEK() = default;

void VEK::ResetFrames() {
    lastFrame = 0;
    lastError = 0;
    consumedFrame_ = -1;
    markers.clear();
    rigids.clear();
    images.clear();
    detectors.clear();
    cameras.clear();
    pending->Clear();
}

int VEK::Connect(const ConnectionSettings& settings, bool startStreaming, bool setFrequency) {
    ResetFrames();
    flags = settings.flags;
    const int r = vekInit(settings.server.c_str(), flags);
    if (r < 0) return r;
    if (!Slave() && settings.interpolate > 0) {
        vekSetInteger(VEK_INTERPOLATION, settings.interpolate);
    }
    vekLoadPose(pose.data());
    vekScale(scale);
    if (!Slave()) CreateTrackers();
    if (vekGetStatus() == 0) {
        // Not connected: close the library session that vekInit opened.
        vekDone();
        return -1;
    }
    if (startStreaming) vekSetInteger(VEK_STREAMING, VEK_ON);
    if (setFrequency) SetFrequency(settings.freq);
    connected = true;
    return r;
}

void VEK::Done() {
    vekRPDClose();
    if (!Slave()) DestroyTrackers(-1);
    vekDone();
    connected = false;
}

int VEK::Poll() {
    if (!connected) return 0;
    const int code = vekGetError();
    if (code == VEK_NO_ERROR) return AssembleFrame();
    lastError = code;
    if (IsRefusal(code)) return AssembleFrame();
    connected = false;
    if (lastError == VEK_SERVER_STOPPED) {
        std::cout << "vek stopped\n";
    } else {
        vekDone();
    }
    return -1;
}

void VEK::Flush() {
    if (!connected) return;
    if (vekGetStatus() == 0) {
        std::cerr << "warning: VEK::Flush: error during flushing (e=" << HexText(vekGetError()) << ")\n";
    }
    for (int i = 0; i < kFlushPolls; ++i) {
        if (Poll() == 0) break;
    }
    consumedFrame_ = std::max(consumedFrame_, pending->frame);
    pending->Clear();
}

int VEK::SetFrequency(float hz) {
    frequency = 0;
    if (Slave()) {
        // A slave never changes a running server.
        if (vekGetStatus() == 0 || vekGetFloatv(VEK_FREQUENCY, &frequency) <= 0 || frequency != 0) {
            return 0;
        }
    }
    vekSetFloat(VEK_FREQUENCY, hz);
    if (vekGetStatus() != 0) {
        vekGetFloatv(VEK_FREQUENCY, &frequency);
        return 1;
    }
    const int e = vekGetError();
    return e == VEK_INVALID_OPERATION ? 0 : e;
}

// Tracker files hold positions in their own units: the server takes them
// unscaled.
void VEK::CreateTrackers() {
    vekScale(1.0f);
    for (Tracker& t : trackers) t.Create();
    vekScale(scale);
}

void VEK::CreateTracker(Tracker& tracker) {
    vekScale(1.0f);
    tracker.Create();
    vekScale(scale);
}

void VEK::DestroyTrackers(int keepId) {
    if (!connected) return;
    for (Tracker& t : trackers) {
        if (t.id != keepId) t.Destroy();
    }
}

int VEK::RemoveTracker(int id) {
    if (trackers.empty()) return 0;
    auto it = std::find_if(trackers.begin(), trackers.end(), [id](const Tracker& t) { return t.id == id; });
    if (it == trackers.end()) {
        std::cout << "warning: VEK::RemoveTracker: tracker id not found\n";
        return 0;
    }
    if (connected) it->Destroy();
    trackers.erase(it);
    return 1;
}

Tracker* VEK::FindTracker(int id) {
    auto it = std::find_if(trackers.begin(), trackers.end(), [id](const Tracker& t) { return t.id == id; });
    return it == trackers.end() ? nullptr : &*it;
}

int VEK::FetchMarkers(std::vector<MarkerRecord>& out) {
    return FetchRecords(vekGetMarkers, fetchBuffer_.data(), out);
}
int VEK::FetchRigids(std::vector<RigidRecord>& out) {
    return FetchRecords(vekGetRigids, fetchBuffer_.data(), out);
}
int VEK::FetchImages(std::vector<ImageRecord>& out) {
    return FetchRecords(vekGetImages, fetchBuffer_.data(), out);
}
int VEK::FetchDetectors(std::vector<DetectorRecord>& out) {
    return FetchRecords(vekGetDetectors, fetchBuffer_.data(), out);
}
int VEK::FetchCameras(std::vector<VEKCamera>& out) {
    const int n = vekGetCameras(reinterpret_cast<VEKCamera*>(fetchBuffer_.data()), MaxRecords<VEKCamera>());
    if (n > 0) CopyRecords(fetchBuffer_.data(), fetchBuffer_.size(), n, out);
    return n;
}

int VEK::EnabledStreams() const {
    int enabled = 0;
    for (int s = 0; s < VEK_STREAM_COUNT; ++s) {
        int on = 0;
        if (vekGetIntegerv(vek_stream_key(s), &on) > 0 && on != 0) enabled |= vek_stream_bit(s);
    }
    return enabled;
}

bool VEK::Streaming() const {
    int on = 0;
    // An unanswered query counts as streaming.
    return vekGetIntegerv(VEK_STREAMING, &on) <= 0 || on != 0;
}

int VEK::CurrentFrame() const {
    int current = 0;
    // An unanswered query means no newer frame.
    if (vekGetIntegerv(VEK_FRAME, &current) <= 0) return lastFrame;
    return current;
}

template <typename Record>
void VEK::Route(std::vector<Record>& fetched, std::vector<Record>& pendingList, std::vector<Record>& nextList,
                int bit, FrameSet& next) {
    if (fetched.empty()) return;
    const int frame = fetched.front().frame;
    // Records of a frame already delivered are dropped (no frame is assembled
    // twice), and so are records of a third frame (never mixed into another).
    if (!IsStale(frame)) {
        if (pending->Accept(frame, bit)) {
            pendingList.swap(fetched);
        } else if (next.Accept(frame, bit)) {
            nextList.swap(fetched);
        }
    }
    fetched.clear();
}

void VEK::FetchStreams(int enabled, FrameSet& next) {
    const int wanted = enabled ^ pending->mask;
    if (wanted & kMarkerBit) {
        FetchMarkers(fetched_.markers);
        Route(fetched_.markers, pending->markers, next.markers, kMarkerBit, next);
    }
    if (wanted & kRigidBit) {
        FetchRigids(fetched_.rigids);
        Route(fetched_.rigids, pending->rigids, next.rigids, kRigidBit, next);
    }
    if (wanted & kImageBit) {
        FetchImages(fetched_.images);
        Route(fetched_.images, pending->images, next.images, kImageBit, next);
    }
    if (wanted & kDetectorBit) {
        FetchDetectors(fetched_.detectors);
        Route(fetched_.detectors, pending->detectors, next.detectors, kDetectorBit, next);
    }
}

int VEK::AssembleFrame() {
    FrameSet& next = next_;
    next.Clear();
    const int enabled = EnabledStreams();
    // Paused: no stream is on and nothing is fetched, so no frame can be
    // complete; the last one stays (an empty frame made of the frames
    // still queued would blank the views).
    if (enabled == 0 && !Streaming()) return 0;
    const int current = CurrentFrame();
    if (current < lastFrame) {
        std::cout << "resetting frame...\n";
        lastFrame = current;
        consumedFrame_ = current - 1;
        pending->Clear();
    }
    FetchStreams(enabled, next);
    if (pending->frame == -1 && current > lastFrame && current > consumedFrame_) {
        // Nothing is queued, yet the server has moved on: its newest frame
        // carried nothing for the enabled streams and counts as complete
        // and empty. Frame numbers the server never sent are not made up.
        pending->frame = current;
        pending->mask = enabled;
    }
    const bool complete = pending->frame != -1 &&
                          (pending->mask == enabled || (pending->mask != 0 && current > pending->frame));
    if (!complete) return 0;
    lastFrame = pending->frame;
    consumedFrame_ = lastFrame;
    markers.swap(pending->markers);
    rigids.swap(pending->rigids);
    images.swap(pending->images);
    detectors.swap(pending->detectors);
    FetchCameras(cameras);
    pending->Clear();
    pending->mask = next.mask;
    pending->frame = next.frame;
    pending->markers.swap(next.markers);
    pending->rigids.swap(next.rigids);
    pending->images.swap(next.images);
    pending->detectors.swap(next.detectors);
    return 1;
}

}  // namespace vektk
