#include "trackers/tracker_leds.h"

#include <algorithm>

int NextTrackerId(const std::vector<vektk::Tracker>& trackers) {
    int largest = -1;
    for (const vektk::Tracker& t : trackers) largest = std::max(largest, t.id);
    const int count = static_cast<int>(trackers.size());
    if (count == largest + 1) return count;
    for (int id = 0; id < largest; ++id) {
        const bool used = std::any_of(trackers.begin(), trackers.end(),
                                      [id](const vektk::Tracker& t) { return t.id == id; });
        if (!used) return id;
    }
    return count;
}

std::vector<int> FreeLeds(const std::vector<vektk::Tracker>& trackers, int maxMarkers) {
    std::vector<bool> used(static_cast<std::size_t>(std::max(maxMarkers, 0)), false);
    for (const vektk::Tracker& t : trackers)
        for (const vektk::MarkerDef& m : t.markers)
            if (m.led >= 0 && m.led < maxMarkers) used[static_cast<std::size_t>(m.led)] = true;
    std::vector<int> free;
    for (int led = 0; led < maxMarkers; ++led)
        if (!used[static_cast<std::size_t>(led)]) free.push_back(led);
    return free;
}
