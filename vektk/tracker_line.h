// One line of a tracker file (".pt" / ".rb"):
//   "# ..."            comment
//   "s, %f"            scale for the positions that follow
//   "%d, %f %f %f"     LED and body-frame position
//   "%d"               LED only
#pragma once

#include <array>
#include <cstddef>

namespace vektk {

struct TrackerLine {
    enum class Kind {
        Comment,
        Scale,
        Led,          // LED only
        LedPosition,  // LED and x, y, z
        Ignored,      // no marker and no scale: skipped
        Invalid
    };
    Kind kind = Kind::Invalid;
    int led = 0;
    std::array<float, 3> pos{};
    float scale = 1.0f;
};

// Reads the line as scanf would read "%d, %f %f %f" (then "s, %f" when
// nothing matched); numbers out of range count as invalid.
TrackerLine ParseTrackerLine(const char* text, std::size_t length);

}  // namespace vektk
