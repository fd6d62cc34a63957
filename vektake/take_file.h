// Take files on disk: read in order through the push parser, rewound for
// replays that loop, and checked whole before a replay starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "take_reader.h"
#include "unique_fd.h"

namespace vektake {

class TakeFile {
public:
    // False with "path: why" when the file cannot be opened or is no
    // regular file (a FIFO is refused, never waited on).
    bool open(const std::string& path, std::string& error);
    // 1: `item` holds the next record; 0: the file is over (cutShort()
    // says whether the take ended cleanly); -1: the take is broken or the
    // file cannot be read (error()).
    int next(Item& item);
    // Back to the first record; false when the file cannot be read.
    bool rewind();

    // "path: byte N (frame K): why".
    std::string error() const;
    // Empty when the take ended with its end record, else "path: ...".
    std::string cutShort() const;
    const Reader& reader() const { return reader_; }
    const std::string& path() const { return path_; }
    int descriptor() const { return fd_.get(); }  // for fstat: what the file is

private:
    std::string path_;
    vekwire::UniqueFd fd_;
    Reader reader_;
    bool eof_ = false;
    std::string ioError_;
};

// What a whole take holds, read once from end to end.
struct Summary {
    Session session;
    std::vector<Camera> cameras;
    uint32_t frames = 0;
    float frequency = 0;        // the first frame's
    bool peakSections = false;  // some frame holds a peak section
    std::vector<int> leds;      // LED ids the peaks name, sorted (with kPeaksCarryLeds)
    std::string cutShort;       // empty when the take ended with its end record
    End end;
    uint64_t bytes = 0;
};

// Peaks name at most this many LEDs: every LED can be a marker.
constexpr size_t kMaxLeds = VEK_MAX_MARKERS;

// Adds the LED ids a frame's peaks name (with kPeaksCarryLeds) to the
// sorted list; false when there would be more than kMaxLeds.
bool collectPeakLeds(const vekwire::FrameView& f, std::vector<int>& leds);

// Reads and checks the whole take; false with "path: byte N (frame K): why".
// A take cut short is read up to its last whole frame and says so in
// `cutShort`.
bool scanTake(const std::string& path, Summary& out, std::string& error);
// The same from an open take file, read from where it stands to its end.
// A replay scans and plays one descriptor: what it checked is what it plays,
// whatever happens to the path meanwhile.
bool scanTake(TakeFile& file, Summary& out, std::string& error);

}  // namespace vektake
