// Which positions of the session's marker list were seen in the current
// window of about three seconds of frames.
#pragma once

#include <vector>

#include <veksock.h>

class SeenMarkers {
public:
    // Restarts the window at every frame number that is a multiple of
    // 3 x the whole frequency (never below 1 Hz), follows the list's
    // length, and marks the markers seen in it.
    void Update(float frequency, int lastFrame, const std::vector<MarkerRecord>& markers);
    // One bit per marker of a list of `count` (new bits clear).
    void Fit(std::size_t count) { bits.resize(count, false); }
    void Clear() { bits.assign(bits.size(), false); }
    int Count() const;

    std::vector<bool> bits = std::vector<bool>(512, false);
};
