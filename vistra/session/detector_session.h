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

    // The server's stream on or off (pause); nothing when not connected.
    void SetStreaming(bool on);
    // Stops the server's frames (frequency 0), or starts them again at the
    // frequency of the connection when they are stopped.
    void ToggleFrequency();
    // The server's frequency while this session streams, else 0.
    float StreamingFrequency() const;
    // Generation time of the newest frame received, in microseconds of the
    // server's steady clock; 0 when none has come.
    int64_t NewestFrameTimeUs() const;
    // A server generation time on this machine's steady clock; false when
    // the library's estimate of the server's clock is not trustworthy.
    bool LocalTimeOf(int64_t serverUs, int64_t& localUs) const;
    // The bound on the error of LocalTimeOf (µs; 0 on the same clock), and
    // whether the server's clock is this machine's; false when no
    // trustworthy estimate exists.
    bool ClockUncertainty(double& us, bool& sameClock) const;
    // The code a failed connection left with the library, 0 when none.
    static int TakeConnectError() { return vekGetError(); }

    PeakTables tables;
    bool fastMode = false;
};
