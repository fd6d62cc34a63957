// LED ids behind tracker ids and marker ids.
#pragma once

#include <optional>
#include <vector>

#include "tracker.h"

// The smallest id free for a new tracker: the count when the ids are
// 0 .. count - 1, else the first gap below the largest id.
int NextTrackerId(const std::vector<vektk::Tracker>& trackers);

// LED ids 0 .. maxMarkers - 1 that no tracker uses, ascending.
std::vector<int> FreeLeds(const std::vector<vektk::Tracker>& trackers, int maxMarkers);

// The LED of a marker id; -1 when its tracker has no such index, nothing
// when no tracker has its id.
std::optional<int> LedOfMarker(const std::vector<vektk::Tracker>& trackers, int markerId);
