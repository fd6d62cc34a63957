// The server's tracker table: what the master client defined with
// vekTrackeri / vekMarkeri / vekMarkerfv / vekTrackerf / vekTracker.
#pragma once

#include <vector>

#include "vek_types.h"

namespace vekd {

struct ServerMarker {
    int index = 0;             // marker index inside the tracker (below VEK_MARKERS_PER_TRACKER)
    int led = 0;               // LED id
    bool hasPosition = false;  // body-frame position given (millimetres)
    float pos[3] = {0, 0, 0};
};

struct ServerTracker {
    int id = 0;
    int type = VEK_POINT_TRACKER;  // or VEK_RIGID_TRACKER
    bool enabled = false;
    float fill = 1.0f;                  // 1020: fill unseen markers of a found rigid body
    float threshold = 0.0f;             // 1013: stored only
    std::vector<ServerMarker> markers;  // sorted by index
};

// Every operation answers 0 on success or the library error code
// (32 invalid value, 33 invalid enum, 34 invalid operation).
class TrackerTable {
public:
    static constexpr int kMaxTrackerId = 65535;
    static constexpr int kMaxMarkers = VEK_MAX_MARKERS;  // markers of all trackers together

    int create(int id, int key, int type);
    int operate(int id, int op);
    int setParam(int id, int param, float value);
    int setMarkerLed(int markerId, int key, int led);
    int setMarkerPosition(int markerId, int key, const float xyz[3]);
    void clear() { trackers_.clear(); }

    // In creation order.
    const std::vector<ServerTracker>& trackers() const { return trackers_; }

private:
    ServerTracker* find(int id);
    int markerCount() const;

    std::vector<ServerTracker> trackers_;
};

}  // namespace vekd
