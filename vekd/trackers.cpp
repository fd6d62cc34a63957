#include "trackers.h"

#include <algorithm>
#include <cmath>

#include "vek_types.h"

namespace vekd {

ServerTracker* TrackerTable::find(int id) {
    for (auto& t : trackers_)
        if (t.id == id) return &t;
    return nullptr;
}

int TrackerTable::markerCount() const {
    int n = 0;
    for (const auto& t : trackers_) n += static_cast<int>(t.markers.size());
    return n;
}

int TrackerTable::create(int id, int key, int type) {
    if (key != VEK_CREATE) return VEK_INVALID_ENUM;
    if (type != VEK_POINT_TRACKER && type != VEK_RIGID_TRACKER) return VEK_INVALID_ENUM;
    if (id < 0 || id > kMaxTrackerId) return VEK_INVALID_VALUE;
    if (find(id)) return VEK_INVALID_OPERATION;
    ServerTracker t;
    t.id = id;
    t.type = type;
    trackers_.push_back(t);
    return 0;
}

int TrackerTable::operate(int id, int op) {
    if (op != VEK_ON && op != VEK_OFF && op != VEK_DESTROY) return VEK_INVALID_ENUM;
    ServerTracker* t = find(id);
    if (!t) return VEK_INVALID_VALUE;
    if (op == VEK_DESTROY) {
        trackers_.erase(trackers_.begin() + (t - trackers_.data()));
    } else {
        t->enabled = op == VEK_ON;
    }
    return 0;
}

int TrackerTable::setParam(int id, int param, float value) {
    if (param != VEK_FILL && param != VEK_TRACKER_THRESHOLD) return VEK_INVALID_ENUM;
    if (!std::isfinite(value)) return VEK_INVALID_VALUE;
    ServerTracker* t = find(id);
    if (!t) return VEK_INVALID_VALUE;
    (param == VEK_FILL ? t->fill : t->threshold) = value;
    return 0;
}

int TrackerTable::setMarkerLed(int markerId, int key, int led) {
    if (key != VEK_MARKER_LED) return VEK_INVALID_ENUM;
    if (markerId < 0 || led < 0) return VEK_INVALID_VALUE;
    ServerTracker* t = find(vek_marker_tracker(markerId));
    if (!t) return VEK_INVALID_VALUE;
    const int index = vek_marker_index(markerId);
    auto it = std::lower_bound(t->markers.begin(), t->markers.end(), index,
                               [](const ServerMarker& m, int i) { return m.index < i; });
    if (it != t->markers.end() && it->index == index) {
        it->led = led;
        return 0;
    }
    if (markerCount() >= kMaxMarkers) return VEK_INVALID_OPERATION;
    ServerMarker m;
    m.index = index;
    m.led = led;
    t->markers.insert(it, m);
    return 0;
}

int TrackerTable::setMarkerPosition(int markerId, int key, const float xyz[3]) {
    if (key != VEK_MARKER_POSITION) return VEK_INVALID_ENUM;
    if (markerId < 0) return VEK_INVALID_VALUE;
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(xyz[k])) return VEK_INVALID_VALUE;
    ServerTracker* t = find(vek_marker_tracker(markerId));
    if (!t) return VEK_INVALID_VALUE;
    const int index = vek_marker_index(markerId);
    for (auto& m : t->markers) {
        if (m.index == index) {
            m.hasPosition = true;
            std::copy(xyz, xyz + 3, m.pos);
            return 0;
        }
    }
    return VEK_INVALID_OPERATION;  // the marker needs its LED first
}

}  // namespace vekd
