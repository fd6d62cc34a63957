#include "marker_filter_driver.h"

#include <cmath>

namespace vektk {

void FilterFrameMarkers(std::vector<MarkerRecord>& markers, std::vector<numerics::MarkerFilter>& filters,
                        std::vector<MarkerRecord>& output, float systemFrequency, float filterFrequency,
                        bool filtering) {
    if (markers.empty()) {
        filters.clear();
        return;
    }
    const double ratio = static_cast<double>(systemFrequency) / filterFrequency;
    if (!(systemFrequency > 0 && filterFrequency > 0 && std::isfinite(ratio) && ratio >= 3)) return;
    // One filter and one output record per marker of this frame: when the
    // trackers change, the markers of removed ones leave the output, and a
    // position that now holds another marker starts a fresh filter.
    filters.resize(markers.size());
    output.resize(markers.size());
    for (std::size_t i = 0; i < markers.size(); ++i) {
        const auto& window = filters[i].data();
        if (!window.empty() && window.back().id != markers[i].id) filters[i] = numerics::MarkerFilter();
        filters[i].Set(systemFrequency, filterFrequency);
    }
    for (std::size_t i = 0; i < markers.size(); ++i) {
        filters[i].Push(markers[i]);
        if (filtering) filters[i].Output(output[i], numerics::MarkerFilter::kLineFit);
    }
    if (filtering) markers = output;
}

}  // namespace vektk
