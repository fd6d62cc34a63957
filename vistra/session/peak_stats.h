// Sliding-window mean and deviation of one detector-peak quantity.
#pragma once

#include <array>

constexpr double kNoPeak = -1.0;  // sample of a frame in which the cell saw no peak

class PeakStats {
public:
    static constexpr int window = 40;

    PeakStats() { samples_.fill(static_cast<float>(kNoPeak)); }

    void add(double x) {
        // A missing sample into a ring without valid samples changes
        // nothing but the last sample: the common case of a cell whose
        // marker that camera no longer sees.
        if (x == kNoPeak && count == 0) {
            last = mean = kNoPeak;
            stddev = 0;
            return;
        }
        slide(x);
    }
    // Recomputes stddev and returns it; 0 with fewer than two valid samples.
    double updateDeviation();

    double last = kNoPeak;
    double mean = kNoPeak;
    double stddev = 0;
    double sum = 0;
    double sumSq = 0;
    int count = 0;  // valid samples in the ring
    int next = 0;   // slot the next sample overwrites

private:
    void slide(double x);

    // kNoPeak where no sample was valid. Every quantity a peak record
    // carries (32-bit floats, whole pixels) is exact in a float.
    std::array<float, window> samples_;
};
