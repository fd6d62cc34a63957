#include "window/auto_fast_mode.h"

bool AutoFastMode::periodEnded(float rate, float frequency, int frame, bool fastModeOn) {
    const bool slow = !fastModeOn && frame > kFirstFrames && rate > 0 && frequency * 0.9f > rate;
    slowPeriods_ = slow ? slowPeriods_ + 1 : 0;
    if (slowPeriods_ < kSlowPeriods) return false;
    slowPeriods_ = 0;
    return true;
}
