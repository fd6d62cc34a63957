// Turns what a recorder receives into take records. The file header, the
// session and the camera list go out with the first frame, whose detector
// records tell each detector's field of view; then one record per frame,
// and the end record last. No file code here: the recorder writes `out`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "take_format.h"
#include "wire.h"

namespace vektake {

class Writer {
public:
    // A camera whose detectors do not tell their field of view gets the one
    // in its camera record's word, or this one when that is not told either.
    static constexpr uint32_t kDefaultFov = 60000;

    Writer(Session session, std::vector<VEKCamera> cameras);

    // Appends one received frame (a wire frame payload and its decoded
    // view) with its capture time on this machine's CLOCK_REALTIME, or
    // kNoLocalTime. A frame a take reader would refuse (a number that does
    // not follow, a value not finite, a peak of no camera) is left out:
    // false with the reason.
    bool frame(const uint8_t* payload, size_t size, const vekwire::FrameView& view, int64_t localTimeUs,
               std::string& out, std::string& why);
    // Appends the end record (nothing when no frame came: there is no take).
    void end(std::string& out);

    uint32_t frames() const { return frames_; }
    uint32_t dropped() const { return dropped_; }  // gaps in the frame numbers
    int64_t durationUs() const { return frames_ ? lastUs_ - firstUs_ : 0; }
    uint64_t bytes() const { return bytes_; }  // appended so far

private:
    void begin(const vekwire::FrameView& first, std::string& out);

    Session session_;
    std::vector<VEKCamera> cameras_;
    uint32_t frames_ = 0;
    uint32_t dropped_ = 0;
    int32_t lastFrame_ = 0;
    int64_t firstUs_ = 0, lastUs_ = 0;
    uint64_t bytes_ = 0;
};

}  // namespace vektake
