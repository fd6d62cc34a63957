#include "session/peak_stats.h"

#include <cmath>

void PeakStats::add(double x) {
    last = x;
    double removed = 0;
    if (held_ < window) {
        if (x != kNoPeak) ++count;
        samples_[static_cast<std::size_t>(held_++)] = x;
    } else {
        removed = samples_[static_cast<std::size_t>(next)];
        if (x == kNoPeak && removed >= 0)
            --count;
        else if (removed == kNoPeak && x >= 0)
            ++count;
        samples_[static_cast<std::size_t>(next)] = x;
        next = (next + 1) % window;
    }
    if (removed == kNoPeak) removed = 0;
    const double added = x == kNoPeak ? 0 : x;
    sum += added - removed;
    sumSq += added * added - removed * removed;
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
