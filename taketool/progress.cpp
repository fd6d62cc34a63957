#include "progress.h"

#include <algorithm>
#include <ostream>

namespace taketool {

void Progress::stage(std::string what) { what_ = std::move(what); }

void Progress::update(uint64_t done, uint64_t total) {
    if (!terminal_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(250)) return;
    shown_ = now;
    const uint64_t percent = total ? std::min<uint64_t>(100, done * 100 / total) : 0;
    std::string line = "vektake: " + what_ + "  " + std::to_string(percent) + " %";
    const size_t width = line.size();
    if (width < width_) line.append(width_ - width, ' ');
    width_ = width;
    out_ << '\r' << line << std::flush;
}

void Progress::finish() {
    if (width_ == 0) return;
    out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    width_ = 0;
}

}  // namespace taketool
