#include "session/detector_session.h"

#include <time.h>

DetectorSession::DetectorSession(std::ostream& log) : vektk::ViewSession(kScale), tables(log) {}

int DetectorSession::ConnectDetectors(const vektk::ConnectionSettings& settings, bool startStreaming,
                                      bool setFrequency) {
    const int r = ConnectView(settings, startStreaming, setFrequency);
    if (connected) vekSetInteger(VEK_IMAGES, VEK_ON);
    return r;
}

void DetectorSession::CollectPeaks(int selectedCamera) {
    tables.collect({images, markers, static_cast<int>(cameras.size()), connected, selectedCamera, fastMode});
}

void DetectorSession::SetStreaming(bool on) {
    if (connected) vekSetInteger(VEK_STREAMING, on ? VEK_ON : VEK_OFF);
}

void DetectorSession::ToggleFrequency() {
    float hz = 0;
    vekGetFloatv(VEK_FREQUENCY, &hz);
    vekSetFloat(VEK_FREQUENCY, hz != 0 ? 0.0f : frequency);
}

bool DetectorSession::LocalTimeOf(int64_t serverUs, int64_t& localUs) const {
    return connected && vekServerTimeToLocal(serverUs, CLOCK_MONOTONIC, &localUs) == 1;
}

bool DetectorSession::ClockUncertainty(double& us, bool& sameClock) const {
    VEKClockEstimate e{};
    if (!connected || vekGetClockEstimate(&e) != 1) return false;
    us = e.uncertaintyUs;
    sameClock = e.sameClock == 1;
    return true;
}

int64_t DetectorSession::NewestFrameTimeUs() const {
    int64_t generated = 0;
    return connected && vekGetFrameTime(&generated) > 0 ? generated : 0;
}

float DetectorSession::StreamingFrequency() const {
    float hz = 0;
    int streaming = 0;
    if (connected && vekGetIntegerv(VEK_STREAMING, &streaming) > 0 && streaming)
        vekGetFloatv(VEK_FREQUENCY, &hz);
    return hz;
}

void DetectorSession::ClearLiveData() {
    markers.clear();
    rigids.clear();
    images.clear();
    detectors.clear();
    cameras.clear();
    lastFrame = 0;
    ResetDerived();
}
