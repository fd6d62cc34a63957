// A log line that can repeat fast (a frequency flipped in a loop, an accept
// that keeps failing, frames skipped): printed when it first happens;
// repeats within the interval after a printed line are counted (each by its
// amount) and told in one line once the interval is over.
#pragma once

#include <algorithm>
#include <climits>
#include <utility>

namespace vekd {

class RepeatedLine {
public:
    explicit RepeatedLine(long long intervalMs) : intervalMs_(intervalMs) {}

    // True when this occurrence is to be printed now; otherwise its amount
    // is counted.
    bool occur(long long nowMs, long long amount = 1) {
        if (counted_ == 0 && nowMs - printedMs_ >= intervalMs_) {
            printedMs_ = nowMs;
            return true;
        }
        counted_ += amount;
        return false;
    }
    // The amount counted to tell now (the interval is over), or 0.
    long long takeRepeats(long long nowMs) {
        if (counted_ == 0 || nowMs - printedMs_ < intervalMs_) return 0;
        printedMs_ = nowMs;
        return std::exchange(counted_, 0);
    }
    // When takeRepeats will have repeats to tell, or -1.
    long long dueMs() const { return counted_ ? printedMs_ + intervalMs_ : -1; }

private:
    long long intervalMs_;
    long long printedMs_ = LLONG_MIN / 2;
    long long counted_ = 0;
};

// The earlier of two times that may be -1 (nothing due), or -1.
inline long long earliestMs(long long a, long long b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

}  // namespace vekd
