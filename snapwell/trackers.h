// The point trackers snapwell defines on the server.
#pragma once

#include <ostream>
#include <vector>

namespace snapwell {

// The LEDs of one point tracker, in marker order.
using TrackerLeds = std::vector<int>;

// LEDs 0 ... count-1.
TrackerLeds firstLeds(int count);

// Creates and enables trackers 0, 1, ... on the server, one per entry,
// announcing each on `out`. Returns the total number of markers.
int defineTrackers(const std::vector<TrackerLeds>& trackers, std::ostream& out);

}  // namespace snapwell
