// How old the frame on screen is: the newest frame's generation time on
// the server's steady clock against this machine's steady clock, read each
// time the view is drawn. Only meaningful when the server runs on this
// machine; the caller says so.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

class FrameAgeMeter {
public:
    // A reading at draw time; a frame time of 0 (none received yet) or
    // one ahead of `nowUs` is not a reading.
    void sample(int64_t nowUs, int64_t generatedUs);
    // The median of the readings since the last call, in milliseconds,
    // or nothing when there were none. Starts the next period.
    std::optional<double> takeMedianMs();
    void clear() { agesUs_.clear(); }

private:
    std::vector<int64_t> agesUs_;
};
