// The frames of a take, or of a stretch of it, read in order through the
// take reader: what info, cut and export all walk. A stretch runs from the
// first frame at or after `from` up to the frame before the first at or
// after `to`, in time since the take's first frame.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "progress.h"
#include "take_file.h"

namespace taketool {

struct Stretch {
    std::optional<int64_t> fromUs, toUs;
};

struct WalkedFrame {
    const vekwire::FrameView& frame;
    const uint8_t* payload;  // the frame record's payload, as in the take
    size_t size;
    // 1 for the take's first frame; counts the frames the recorder missed,
    // so that number − 1 ticks of the recorded rate lie between them.
    int64_t number;
    int64_t timeUs;  // generation time since the take's first frame
    // Capture time on the recorder's CLOCK_REALTIME (µs since 1970), or
    // vektake::kNoLocalTime.
    int64_t localTimeUs;
};

// Answers false with a message to stop the walk.
using FrameVisitor = std::function<bool(const WalkedFrame&, std::string& error)>;

// Set by SIGINT and SIGTERM: a walk stops with "interrupted".
void requestStop();

// t − t0, held at the int64 limits (times of a hostile take may be anything).
int64_t since(int64_t t, int64_t t0);

class FrameWalk {
public:
    // False with "path: why".
    bool open(const std::string& path, std::string& error);
    // Reads the take from its start (again, on a second call) and visits
    // the stretch's frames. False with the error when the take is broken
    // or cannot be read, when the walk was interrupted, or when `visit`
    // says so.
    bool run(const Stretch& stretch, Progress& progress, const FrameVisitor& visit, std::string& error);

    // What the walk read: valid once run() came past the take's start.
    const vektake::Session& session() const { return file_.reader().session(); }
    const std::vector<vektake::Camera>& cameras() const { return file_.reader().cameras(); }
    uint16_t version() const { return file_.reader().version(); }
    // Where a take cut short stops (after a walk that reached its end);
    // empty when it ended with its end record or the walk stopped before.
    std::string cutShort() const { return reachedEnd_ ? file_.reader().cutShort() : std::string(); }
    const std::string& path() const { return file_.path(); }
    uint64_t bytes() const { return bytes_; }
    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }

private:
    vektake::TakeFile file_;
    uint64_t bytes_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool started_ = false;
    bool reachedEnd_ = false;
};

}  // namespace taketool
