// Mean of the last `window` values added.
#pragma once

#include <deque>

namespace vektk {

struct RunningAverage {
    // A window below 1 keeps the newest value only.
    void add(float value, int window);
    void reset();

    float sum = 0;
    float mean = 0;
    std::deque<float> samples;  // oldest first
};

}  // namespace vektk
