#include "running_average.h"

namespace vektk {

void RunningAverage::add(float value, int window) {
    const std::size_t limit = window < 1 ? 1 : static_cast<std::size_t>(window);
    samples.push_back(value);
    sum += value;
    while (samples.size() > limit) {
        sum -= samples.front();
        samples.pop_front();
    }
    mean = sum / static_cast<float>(samples.size());
}

void RunningAverage::reset() {
    sum = 0;
    mean = 0;
    samples.clear();
}

}  // namespace vektk
