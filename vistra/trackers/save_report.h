// The text of the "Saved Point File" box: what a tracker file holds.
#pragma once

#include <QString>

#include "tracker.h"

// Rigid: one line per marker, LED and x, y, z; point: the LED ids
// separated by ", ", 17 on the first line and 16 on each further one.
QString SaveReport(const vektk::Tracker& tracker);
