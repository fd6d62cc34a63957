#include "glwidget/frame_rate_texts.h"

void FrameRateTexts::frameDone(glview::Stopwatch& stopwatch, uint32_t t0, uint32_t now) {
    stopwatch.addBusy(now - t0);
    if (now - stopwatch.windowStart() > 1000000u) {
        const uint32_t sincePrevious = t0 - previousT0_ ? t0 - previousT0_ : 1;
        const uint32_t drawTime = now - t0 ? now - t0 : 1;
        const double frameRate = 1e6 / sincePrevious;
        const double drawable = 1e6 / drawTime;
        rate = QString::asprintf("%4.1f", frameRate);
        load = QString::asprintf("%4.1f", stopwatch.load() * 100);
        stopwatch.restartWindow();
        info = QString::asprintf("fps: % 5.1f @ % 4.1f", drawable, frameRate);
    }
    previousT0_ = t0;
}
