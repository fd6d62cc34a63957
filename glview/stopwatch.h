// Microsecond timer with a busy-time window, for frame rates and load.
#pragma once

#include <cstdint>

namespace glview {

// Source of a free-running microsecond count; replaceable for tests.
using MicrosecondSource = uint64_t (*)();

uint64_t steadyMicroseconds();

class Stopwatch {
public:
    explicit Stopwatch(MicrosecondSource source = steadyMicroseconds);

    // Microseconds since construction, truncated to 32 bits.
    uint32_t now() const;
    // Busy share of the current window; 0 until time has passed.
    double load() const;
    void addBusy(uint32_t microseconds) { busy_ += microseconds; }
    void restartWindow();
    uint32_t windowStart() const { return windowStart_; }

private:
    MicrosecondSource source_;
    uint64_t startCount_;
    uint32_t windowStart_ = 0;
    uint64_t busy_ = 0;
};

}  // namespace glview
