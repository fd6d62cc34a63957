#include "session/peak_stats.h"

#include <cmath>

void PeakStats::slide(double x) {
    last = x;
    float& slot = samples_[static_cast<std::size_t>(next)];
    const double removed = slot;
    slot = static_cast<float>(x);
    next = next + 1 == window ? 0 : next + 1;
    const bool valid = x != kNoPeak;
    const bool wasValid = removed != kNoPeak;
    count += static_cast<int>(valid) - static_cast<int>(wasValid);
    const double added = valid ? x : 0;
    const double gone = wasValid ? removed : 0;
    sum += added - gone;
    sumSq += added * added - gone * gone;
    mean = count <= 0 ? kNoPeak : sum / count;
    // A deviation needs two samples; it never outlives the mean.
    if (count <= 1) stddev = 0;
}

double PeakStats::updateDeviation() {
    if (count <= 1) return stddev = 0;
    const double variance = (sumSq - sum * sum / count) / (count - 1);
    stddev = std::sqrt(variance > 0 ? variance : 0);
    return stddev;
}
