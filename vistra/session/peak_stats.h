// Sliding-window mean and deviation of one detector-peak quantity.
#pragma once

#include <array>

constexpr double kNoPeak = -1.0;  // sample of a frame in which the cell saw no peak

class PeakStats {
public:
    static constexpr int window = 40;

    void add(double x);
    // Recomputes stddev and returns it; 0 with fewer than two valid samples.
    double updateDeviation();

    double last = kNoPeak;
    double mean = kNoPeak;
    double stddev = 0;
    double sum = 0;
    double sumSq = 0;
    int count = 0;  // valid samples in the ring
    int next = 0;   // slot the next sample overwrites once the ring is full

private:
    std::array<double, window> samples_{};
    int held_ = 0;  // samples in the ring, valid or not
};
