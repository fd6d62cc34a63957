#include "fake_veksock.h"

#include <algorithm>
#include <cstring>

namespace fakevek {
namespace {

State& Storage() {
    static State state;
    return state;
}

template <typename... Args>
void Log(const char* name, Args... args) {
    if (Storage().logCalls) Storage().calls.push_back(Call(name, args...));
}

// A request: fails when scripted to, setting the status and queueing the code.
int Request(const char* name) {
    State& s = Storage();
    auto it = s.failing.find(name);
    if (it == s.failing.end()) {
        s.status = 1;
        return 1;
    }
    s.status = 0;
    s.errors.push_back(it->second);
    return 0;
}

template <typename Record>
int Replay(int stream, std::deque<Answer<Record>>& answers, Record* out, int max) {
    Storage().status = 1;
    if (Storage().source) return Storage().source(stream, out, max);
    if (answers.empty()) return 0;
    Answer<Record> answer = std::move(answers.front());
    answers.pop_front();
    if (answer.result <= 0) return answer.result;
    const int n = std::min(answer.result, max);
    std::memcpy(out, answer.records.data(), sizeof(Record) * static_cast<size_t>(n));
    return n;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

State& fake() { return Storage(); }

void ResetFake() { Storage() = State{}; }

std::vector<std::string> CallsNamed(const std::string& name) {
    std::vector<std::string> out;
    for (const std::string& c : Storage().calls) {
        if (StartsWith(c, name + "(")) out.push_back(c);
    }
    return out;
}

int CountCalls(const std::string& name) { return static_cast<int>(CallsNamed(name).size()); }

std::vector<std::string> Requests() {
    std::vector<std::string> out;
    for (const std::string& c : Storage().calls) {
        if (!StartsWith(c, "vekGetStatus(") && !StartsWith(c, "vekGetError(") &&
            !StartsWith(c, "vekGetIntegerv(") && !StartsWith(c, "vekGetFloatv(")) {
            out.push_back(c);
        }
    }
    return out;
}

void EnableStreams(int bits) {
    State& s = Storage();
    for (int stream = 0; stream < VEK_STREAM_COUNT; ++stream)
        s.integers[vek_stream_key(stream)] = (bits & vek_stream_bit(stream)) ? 1 : 0;
}

void SetFrame(int frame) { Storage().integers[VEK_FRAME] = frame; }

MarkerRecord Marker(int id, int frame, float x, float y, float z, float cond, unsigned flags) {
    return MarkerRecord{id, frame, x, y, z, cond, flags};
}

RigidRecord Rigid(int id, int frame) { return RigidRecord{id, frame, {0, 0, 0, 1, 0, 0, 0}, 1.0f, 0}; }

ImageRecord Image(int camera, int frame) { return ImageRecord{-1, frame, camera, 0, 3, 0, 0.5f, 100.0f}; }

DetectorRecord Detector(int id, int frame) {
    return DetectorRecord{id, frame, id / 2, id % 2, 1, VEK_DETECTOR_PIXELS, 100, 0.1f, 200, 0};
}

template <typename Record, typename Make>
std::vector<Record> Many(int count, Make make) {
    std::vector<Record> out;
    for (int i = 0; i < count; ++i) out.push_back(make(i));
    return out;
}

std::vector<MarkerRecord> Markers(int count, int frame) {
    return Many<MarkerRecord>(count, [frame](int i) {
        return Marker(i, frame, static_cast<float>(i), 1, 2, 1.0f + static_cast<float>(i % 7));
    });
}
std::vector<RigidRecord> Rigids(int count, int frame) {
    return Many<RigidRecord>(count, [frame](int i) { return Rigid(i, frame); });
}
std::vector<ImageRecord> Images(int count, int frame) {
    return Many<ImageRecord>(count, [frame](int i) { return Image(i % 64, frame); });
}
std::vector<DetectorRecord> Detectors(int count, int frame) {
    return Many<DetectorRecord>(count, [frame](int i) { return Detector(i, frame); });
}

}  // namespace fakevek

using fakevek::Log;
using fakevek::Request;

extern "C" {

int vekInit(const char* server, int flags) {
    Log("vekInit", server ? server : "(null)", flags);
    return fakevek::fake().initResult;
}
void vekDone(void) { Log("vekDone"); }
int vekGetStatus(void) {
    Log("vekGetStatus");
    return fakevek::fake().status;
}
int vekGetError(void) {
    Log("vekGetError");
    auto& errors = fakevek::fake().errors;
    if (errors.empty()) return 0;
    const int code = errors.front();
    errors.pop_front();
    return code;
}
int vekGetString(int code, char* buf) {
    Log("vekGetString", code);
    buf[0] = '\0';
    return 0;
}
int vekSetInteger(int key, int value) {
    Log("vekSetInteger", key, value);
    return Request("vekSetInteger");
}
int vekGetIntegerv(int key, int* value) {
    Log("vekGetIntegerv", key);
    auto& s = fakevek::fake();
    auto it = s.integers.find(key);
    if (it == s.integers.end()) return 0;
    *value = it->second;
    if (key == VEK_FRAME) it->second += s.frameStep;
    return 1;
}
int vekSetFloat(int key, float value) {
    Log("vekSetFloat", key, value);
    if (!Request("vekSetFloat")) return 0;
    fakevek::fake().floats[key] = value;
    return 1;
}
int vekGetFloatv(int key, float* value) {
    Log("vekGetFloatv", key);
    auto& s = fakevek::fake();
    auto it = s.floats.find(key);
    if (it == s.floats.end()) return 0;
    *value = it->second;
    return 1;
}
int vekScale(float scale) {
    Log("vekScale", scale);
    return Request("vekScale");
}
int vekLoadPose(const float pose[7]) {
    Log("vekLoadPose", pose[0], pose[3]);
    return Request("vekLoadPose");
}
int vekTrackeri(int tracker, int key, int value) {
    Log("vekTrackeri", tracker, key, value);
    return Request("vekTrackeri");
}
int vekTracker(int tracker, int op) {
    Log("vekTracker", tracker, op);
    return Request("vekTracker");
}
int vekTrackerf(int tracker, int param, float value) {
    Log("vekTrackerf", tracker, param, value);
    return Request("vekTrackerf");
}
int vekMarkeri(int marker, int key, int value) {
    Log("vekMarkeri", marker, key, value);
    return Request("vekMarkeri");
}
int vekMarkeriv(int marker, int key, const int* values) {
    Log("vekMarkeriv", marker, key, values[0]);
    return Request("vekMarkeriv");
}
int vekMarkerfv(int marker, int key, const float* values) {
    Log("vekMarkerfv", marker, key, values[0], values[1], values[2]);
    return Request("vekMarkerfv");
}
int vekGetMarkers(MarkerRecord* out, int max) {
    Log("vekGetMarkers", max);
    return fakevek::Replay(VEK_MARKER_STREAM, fakevek::fake().markers, out, max);
}
int vekGetRigids(RigidRecord* out, int max) {
    Log("vekGetRigids", max);
    return fakevek::Replay(VEK_RIGID_STREAM, fakevek::fake().rigids, out, max);
}
int vekGetImages(ImageRecord* out, int max) {
    Log("vekGetImages", max);
    return fakevek::Replay(VEK_IMAGE_STREAM, fakevek::fake().images, out, max);
}
int vekGetDetectors(DetectorRecord* out, int max) {
    Log("vekGetDetectors", max);
    return fakevek::Replay(VEK_DETECTOR_STREAM, fakevek::fake().detectors, out, max);
}
int vekGetCameras(VEKCamera* out, int max) {
    Log("vekGetCameras", max);
    auto& s = fakevek::fake();
    if (s.cameraResult < 0) return s.cameraResult;
    const int n = std::min(static_cast<int>(s.cameras.size()), max);
    if (n > 0) std::memcpy(out, s.cameras.data(), sizeof(VEKCamera) * static_cast<size_t>(n));
    return n;
}
int vekGetFrameTime(int64_t* microseconds) {
    Log("vekGetFrameTime");
    *microseconds = 0;
    return 0;
}
int vekRPDClose(void) {
    Log("vekRPDClose");
    return 1;
}
int vek_scan(const char* address, int port, const char*, int, VEKScanEntry*, int) {
    Log("vek_scan", address ? address : "(null)", port);
    return 0;
}

}  // extern "C"
