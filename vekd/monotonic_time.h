// The server's clock: steady microseconds (frames are due on it, timeouts
// and log intervals are counted on it).
#pragma once

#include <chrono>

namespace vekd {

inline long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace vekd
