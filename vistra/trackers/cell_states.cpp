#include "trackers/cell_states.h"

#include <algorithm>

std::vector<int> TrackerCellStates(const vektk::Tracker& tracker, const vektk::ViewSession& session,
                                   uint32_t now, LastSeenTimes& lastSeen) {
    int largest = -1;
    for (const vektk::MarkerDef& m : tracker.markers) largest = std::max(largest, m.index);
    std::vector<int> cells(static_cast<std::size_t>(largest + 1), kCellIdle);
    const std::vector<MarkerRecord>& markers = session.markers;
    if (!markers.empty() && lastSeen.times.size() != markers.size()) lastSeen.times.assign(markers.size(), 0);
    for (std::size_t p = 0; p < markers.size(); ++p) {
        const MarkerRecord& m = markers[p];
        if (vek_marker_tracker(m.id) != tracker.id) continue;
        const bool seen = m.cond > 0;
        const int selected = session.selectedMarkers.Contains(m.id) ? 1 : 0;
        bool lost = false;
        if (session.connected) {
            uint32_t& last = lastSeen.times[p];
            if (seen)
                last = now;
            else
                lost = last != 0 && now - last > lastSeen.lostTimeout;
        }
        const std::size_t i = static_cast<std::size_t>(vek_marker_index(m.id));
        if (i >= cells.size()) continue;  // an index the tracker does not have
        cells[i] = seen       ? kCellSeen + selected
                   : lost     ? kCellLost + selected
                   : selected ? kCellSelected
                              : kCellIdle;
    }
    return cells;
}
