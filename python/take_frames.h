// A take file read into rows for the Python module, through vektake's
// reader. Opening reads the whole take once (its frames, the marker and
// rigid ids it holds, where it was cut short); ranges of frames are then
// read on demand, forward from where the last read stopped (a range
// before it starts again from the top). A take recorded in the older
// z-up world is turned upright, as vekd --replay serves it. No Python here.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "records.h"
#include "take_file.h"

namespace vekpy {

// Where read() puts frames [start, stop): one entry per frame, markers and
// rigids as frames x ids (row-major), peaks and detector records appended.
struct TakeBlock {
    int32_t* number = nullptr;
    double* time = nullptr;  // seconds of the recording server's steady clock
    // Seconds since 1970 on the recorder's clock, NaN where it had none;
    // null for a take that holds none (version 1).
    double* localTime = nullptr;
    int64_t* dropped = nullptr;
    float* frequency = nullptr;
    MarkerRow* markers = nullptr;
    RigidRow* rigids = nullptr;
    std::vector<PeakRow> peaks;
    std::vector<DetectorRow> detectors;
};

class TakeFrames {
public:
    // False with "path: why" (or "path: byte N (frame K): why").
    bool open(const std::string& path, std::string& error);
    bool read(uint32_t start, uint32_t stop, TakeBlock& out, std::string& error);
    // Lets go of the file; what open() found stays.
    void close() { file_ = vektake::TakeFile(); }

    uint32_t frames() const { return frames_; }
    const std::vector<int32_t>& markerIds() const { return markerIds_; }  // sorted
    const std::vector<int>& markerLeds() const { return markerLeds_; }    // -1 unknown
    const std::vector<int32_t>& rigidIds() const { return rigidIds_; }    // sorted
    const vektake::Session& session() const { return session_; }
    const std::vector<CameraRow>& cameras() const { return cameras_; }
    const std::string& cutShort() const { return cutShort_; }  // empty when the take ended cleanly
    const vektake::End& end() const { return end_; }
    bool zUp() const { return zUp_; }
    // Its frames carry capture times on the recorder's clock (version 2 on).
    bool localTimes() const { return localTimes_; }

private:
    // The next frame record; false at the end, or with `error` set.
    bool nextFrame(vektake::Item& item, std::string& error);
    bool rewind(std::string& error);
    void put(const vektake::Item& item, size_t row, TakeBlock& out);

    vektake::TakeFile file_;
    uint32_t frames_ = 0;
    std::vector<int32_t> markerIds_;
    std::vector<int> markerLeds_;
    std::vector<int32_t> rigidIds_;
    std::unordered_map<int32_t, size_t> markerColumn_;
    std::unordered_map<int32_t, size_t> rigidColumn_;
    vektake::Session session_;
    std::vector<CameraRow> cameras_;
    std::string cutShort_;
    vektake::End end_;
    bool zUp_ = false;
    bool localTimes_ = false;
    uint32_t position_ = 0;  // the ordinal of the frame nextFrame() reads
    int32_t lastNumber_ = 0;
};

}  // namespace vekpy
