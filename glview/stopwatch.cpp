#include "stopwatch.h"

#include <chrono>

namespace glview {

uint64_t steadyMicroseconds() {
    const auto t = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(t).count());
}

Stopwatch::Stopwatch(MicrosecondSource source) : source_(source), startCount_(source()) {}

uint32_t Stopwatch::now() const { return static_cast<uint32_t>(source_() - startCount_); }

double Stopwatch::load() const {
    const uint32_t t = now();
    if (t <= windowStart_) return 0.0;
    return static_cast<double>(busy_) / static_cast<double>(t - windowStart_);
}

void Stopwatch::restartWindow() {
    windowStart_ = now();
    busy_ = 0;
}

}  // namespace glview
