// Runs the per-marker trajectory filters over one assembled frame.
#pragma once

#include <veksock.h>

#include <vector>

#include "marker_filter.h"

namespace vektk {

// Filters are matched to markers by position in the list; a position whose
// marker id changed gets a fresh filter, and the filter and output lists
// follow the frame's length. Without markers every filter is discarded;
// below 3 samples per filter period nothing is filtered. With `filtering`
// on, `markers` becomes the output list.
void FilterFrameMarkers(std::vector<MarkerRecord>& markers, std::vector<numerics::MarkerFilter>& filters,
                        std::vector<MarkerRecord>& output, float systemFrequency, float filterFrequency,
                        bool filtering);

}  // namespace vektk
