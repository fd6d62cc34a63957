#include "session/detector_session.h"

DetectorSession::DetectorSession(std::ostream& log) : vektk::ViewSession(kScale), tables(log) {}

int DetectorSession::ConnectDetectors(const vektk::ConnectionSettings& settings, bool startStreaming,
                                      bool setFrequency) {
    const int r = ConnectView(settings, startStreaming, setFrequency);
    if (connected) vekSetInteger(VEK_IMAGES, VEK_ON);
    return r;
}

void DetectorSession::CollectPeaks(int selectedCamera) {
    tables.collect({images, markers, static_cast<int>(cameras.size()), connected,
                    selectedCamera, fastMode});
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
