#include "trackers.h"

#include <veksock.h>

#include <numeric>

namespace snapwell {

TrackerLeds firstLeds(int count) {
    TrackerLeds leds(static_cast<std::size_t>(count));
    std::iota(leds.begin(), leds.end(), 0);
    return leds;
}

int defineTrackers(const std::vector<TrackerLeds>& trackers, std::ostream& out) {
    int total = 0;
    for (std::size_t t = 0; t < trackers.size(); ++t) {
        const int id = static_cast<int>(t);
        const TrackerLeds& leds = trackers[t];
        out << "point tracker: " << id << ", markers: " << leds.size() << '\n';
        vekTrackeri(id, VEK_CREATE, VEK_POINT_TRACKER);
        for (std::size_t i = 0; i < leds.size(); ++i)
            vekMarkeri(vek_marker_id(id, static_cast<int>(i)), VEK_MARKER_LED, leds[i]);
        vekTracker(id, VEK_ON);
        vekTrackerf(0, VEK_TRACKER_THRESHOLD, 0.8f);
        total += static_cast<int>(leds.size());
    }
    return total;
}

}  // namespace snapwell
