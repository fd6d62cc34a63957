// Test stand-in for libveksock's session calls: replays scripted answers and
// records every call. The pose helpers still come from the real library.
#pragma once

#include <veksock.h>

#include <deque>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fakevek {

// One answer of a stream fetch: the records, or a negative error code.
template <typename Record>
struct Answer {
    int result = 0;
    std::vector<Record> records;
};

template <typename Record>
Answer<Record> Records(std::vector<Record> records) {
    const int n = static_cast<int>(records.size());
    return {n, std::move(records)};
}

template <typename Record>
Answer<Record> Failure(int code) {
    return {code, {}};
}

struct State {
    int initResult = 0;
    std::map<std::string, int> failing;  // call name -> error code it queues
    int status = 1;
    std::deque<int> errors;       // vekGetError queue
    std::map<int, int> integers;  // vekGetIntegerv answers
    std::map<int, float> floats;  // vekGetFloatv answers
    int frameStep = 0;            // added to key 1296 after each query
    std::deque<Answer<MarkerRecord>> markers;
    std::deque<Answer<RigidRecord>> rigids;
    std::deque<Answer<ImageRecord>> images;
    std::deque<Answer<DetectorRecord>> detectors;
    std::vector<VEKCamera> cameras;
    int cameraResult = 0;  // < 0: the camera fetch fails
    // When set, answers every stream fetch instead of the queues above:
    // (stream index VEK_MARKER_STREAM ..., out, max).
    std::function<int(int, void*, int)> source;
    bool logCalls = true;            // off for benchmarks
    std::vector<std::string> calls;  // "name(arg,arg)" in call order
};

State& fake();
void ResetFake();

// One call as the log writes it: Call("vekTracker", 1, VEK_ON) is
// "vekTracker(1,258)".
template <typename... Args>
std::string Call(const char* name, Args... args) {
    std::ostringstream text;
    text << name << '(';
    bool first = true;
    ((text << (first ? "" : ",") << args, first = false), ...);
    text << ')';
    return text.str();
}

// Calls named `name`, in order.
std::vector<std::string> CallsNamed(const std::string& name);
int CountCalls(const std::string& name);
// Calls other than status, error and query calls.
std::vector<std::string> Requests();

// Streams on or off as given by their bits (VEK_MARKER_BIT ...).
void EnableStreams(int bits);
void SetFrame(int frame);

MarkerRecord Marker(int id, int frame, float x = 0, float y = 0, float z = 0, float cond = 1,
                    unsigned flags = 0);
RigidRecord Rigid(int id, int frame);
ImageRecord Image(int camera, int frame);
DetectorRecord Detector(int id, int frame);
std::vector<MarkerRecord> Markers(int count, int frame);
std::vector<RigidRecord> Rigids(int count, int frame);
std::vector<ImageRecord> Images(int count, int frame);
std::vector<DetectorRecord> Detectors(int count, int frame);

}  // namespace fakevek
