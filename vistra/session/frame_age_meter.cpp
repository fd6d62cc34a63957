#include "session/frame_age_meter.h"

#include <algorithm>

void FrameAgeMeter::sample(int64_t nowUs, int64_t generatedUs) {
    if (generatedUs <= 0 || generatedUs > nowUs) return;
    agesUs_.push_back(nowUs - generatedUs);
}

std::optional<double> FrameAgeMeter::takeMedianMs() {
    if (agesUs_.empty()) return std::nullopt;
    const auto middle = agesUs_.begin() + static_cast<std::ptrdiff_t>(agesUs_.size() / 2);
    std::nth_element(agesUs_.begin(), middle, agesUs_.end());
    const double ms = static_cast<double>(*middle) / 1000.0;
    agesUs_.clear();
    return ms;
}
