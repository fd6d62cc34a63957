// The C interface over the one process-wide session. No exception crosses
// this boundary: a failure inside becomes a failed status and a code.
#include <cstring>
#include <new>

#include "session.h"
#include "veksock.h"

namespace {

veksock::Session& session() {
    static veksock::Session s;
    return s;
}

template <typename F>
int guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        return -1;
    }
}

int trackerCall(vekwire::Op op, int target, int key, int value, const float* f = nullptr, int nf = 0) {
    return guarded([&] { return session().request(op, target, key, value, f, nf) == 0 ? 1 : 0; });
}

}  // namespace

extern "C" {

int vekInit(const char* server, int flags) {
    return guarded([&] { return session().init(server, flags); });
}

int vekLoadKey(const char* path) {
    return guarded([&] { return session().loadKey(path); });
}

void vekDone(void) {
    guarded([] {
        session().done();
        return 0;
    });
}

int vekGetStatus(void) {
    return guarded([] { return session().status(); });
}

int vekGetError(void) {
    return guarded([] { return session().takeError(); });
}

int vekGetString(int code, char* buf) {
    if (!buf) return 0;
    buf[0] = '\0';
    return guarded([&] {
        const std::string text = session().errorText(code);
        const size_t n = std::min(text.size(), size_t{VEK_STRING_SIZE - 1});
        std::memcpy(buf, text.data(), n);
        buf[n] = '\0';
        return static_cast<int>(n);
    });
}

int vekSetInteger(int key, int value) {
    return guarded([&] { return session().setInteger(key, value); });
}

int vekGetIntegerv(int key, int* value) {
    if (!value) return 0;
    return guarded([&] { return session().getInteger(key, *value); });
}

int vekSetFloat(int key, float value) {
    return guarded([&] { return session().setFloat(key, value); });
}

int vekGetFloatv(int key, float* value) {
    if (!value) return 0;
    return guarded([&] { return session().getFloat(key, *value); });
}

int vekScale(float scale) {
    return guarded([&] { return session().setScale(scale); });
}

int vekLoadPose(const float pose[7]) {
    if (!pose) return 0;
    return guarded([&] { return session().setPose(pose); });
}

int vekTrackeri(int tracker, int key, int value) {
    return trackerCall(vekwire::Op::TrackerCreate, tracker, key, value);
}

int vekTracker(int tracker, int op) { return trackerCall(vekwire::Op::TrackerOp, tracker, 0, op); }

int vekTrackerf(int tracker, int param, float value) {
    return trackerCall(vekwire::Op::TrackerParam, tracker, param, 0, &value, 1);
}

int vekMarkeri(int marker, int key, int value) {
    return trackerCall(vekwire::Op::MarkerInt, marker, key, value);
}

int vekMarkeriv(int marker, int key, const int* values) {
    if (!values) return trackerCall(vekwire::Op::MarkerInt, marker, key, -1);
    return trackerCall(vekwire::Op::MarkerInt, marker, key, values[0]);
}

int vekMarkerfv(int marker, int key, const float* values) {
    if (!values) return trackerCall(vekwire::Op::MarkerFloat, marker, 0, 0);
    return guarded([&] { return session().sendPosition(marker, key, values); });
}

int vekGetMarkers(MarkerRecord* out, int max) {
    return guarded([&] { return session().fetch(VEK_MARKER_STREAM, out, max); });
}

int vekGetRigids(RigidRecord* out, int max) {
    return guarded([&] { return session().fetch(VEK_RIGID_STREAM, out, max); });
}

int vekGetImages(ImageRecord* out, int max) {
    return guarded([&] { return session().fetch(VEK_IMAGE_STREAM, out, max); });
}

int vekGetDetectors(DetectorRecord* out, int max) {
    return guarded([&] { return session().fetch(VEK_DETECTOR_STREAM, out, max); });
}

int vekGetCameras(VEKCamera* out, int max) {
    return guarded([&] { return session().cameras(out, max); });
}

int vekGetCaptureTime(int frame, int clock, int64_t* us) {
    if (!us) return 0;
    return guarded([&] { return session().captureTime(frame, clock, *us); });
}

int vekServerTimeToLocal(int64_t serverUs, int clock, int64_t* localUs) {
    if (!localUs) return 0;
    return guarded([&] { return session().serverTimeToLocal(serverUs, clock, *localUs); });
}

int vekGetClockEstimate(VEKClockEstimate* out) {
    if (!out) return 0;
    return guarded([&] { return session().clockEstimate(*out); });
}

int vekGetFrameTime(int64_t* microseconds) {
    if (!microseconds) return 0;
    return guarded([&] { return session().frameTime(*microseconds); });
}

int vekRPDClose(void) {
    // Raw-data recording is not offered; there is never one to close.
    return guarded([] {
        session().drain();
        return 1;
    });
}

}  // extern "C"
