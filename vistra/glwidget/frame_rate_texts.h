// Frame-rate and load texts of a GL view, rebuilt once per second.
#pragma once

#include <QString>

#include <cstdint>

#include "stopwatch.h"

class FrameRateTexts {
public:
    // Called after each frame with its start time t0; `now` is the end.
    void frameDone(glview::Stopwatch& stopwatch, uint32_t t0, uint32_t now);
    // The view is disabled: nothing is drawn.
    void disabled() { load = QStringLiteral("0.0"); }

    QString rate;  // "%4.1f" frames per second
    QString load;  // "%4.1f" percent busy
    QString info;  // "fps: % 5.1f @ % 4.1f" drawable and actual rate

private:
    uint32_t previousT0_ = 0;
};
