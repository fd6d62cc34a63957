// Tracker ids and LED ids free for new trackers.
#pragma once

#include <vector>

#include "tracker.h"

// The smallest id free for a new tracker: the count when the ids are
// 0 .. count - 1, else the first gap below the largest id.
int NextTrackerId(const std::vector<vektk::Tracker>& trackers);

// LED ids 0 .. maxMarkers - 1 that no tracker uses, ascending.
std::vector<int> FreeLeds(const std::vector<vektk::Tracker>& trackers, int maxMarkers);
