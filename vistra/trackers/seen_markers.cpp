#include "trackers/seen_markers.h"

#include <algorithm>

void SeenMarkers::Update(float frequency, int lastFrame, const std::vector<MarkerRecord>& markers) {
    const int whole = frequency > 0 ? static_cast<int>(frequency) : 0;
    if (whole >= 1 && lastFrame % (3 * whole) == 0) Clear();
    Fit(markers.size());
    for (std::size_t p = 0; p < markers.size(); ++p)
        if (markers[p].cond > 0) bits[p] = true;
}

int SeenMarkers::Count() const { return static_cast<int>(std::count(bits.begin(), bits.end(), true)); }
