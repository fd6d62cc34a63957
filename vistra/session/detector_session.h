// The vistra session: the view session plus per-LED detector-peak
// statistics and the fast-mode switch.
#pragma once

#include <iostream>

#include "session/peak_tables.h"
#include "view_session.h"

class DetectorSession : public vektk::ViewSession {
public:
    static constexpr float kScale = 0.001f;  // the GL world is in metres

    explicit DetectorSession(std::ostream& log = std::cout);

    // ConnectView, then the image stream switched on.
    int ConnectDetectors(const vektk::ConnectionSettings& settings, bool startStreaming, bool setFrequency);
    // Statistics update for the current frame.
    void CollectPeaks(int selectedCamera);
    void ClearTables() { tables.clear(); }
    // Forgets the last frame and the averages: after a disconnect nothing
    // shown may look live.
    void ClearLiveData();

    PeakTables tables;
    bool fastMode = false;
};
