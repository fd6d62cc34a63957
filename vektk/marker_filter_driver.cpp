#include "marker_filter_driver.h"

namespace vektk {

void FilterFrameMarkers(std::vector<MarkerRecord>& markers,
                        std::vector<numerics::MarkerFilter>& filters,
                        std::vector<MarkerRecord>& output, float systemFrequency,
                        float filterFrequency, bool filtering) {
    if (markers.empty()) {
        filters.clear();
        return;
    }
    if (!(systemFrequency > 0 && filterFrequency > 0)) return;
    if (static_cast<int>(static_cast<double>(systemFrequency) / filterFrequency) < 3) return;
    if (filters.size() < markers.size()) filters.resize(markers.size());
    if (output.size() < markers.size()) output.resize(markers.size());
    for (numerics::MarkerFilter& f : filters) f.Set(systemFrequency, filterFrequency);
    for (std::size_t i = 0; i < markers.size(); ++i) {
        filters[i].Push(markers[i]);
        if (filtering) filters[i].Output(output[i], numerics::MarkerFilter::kLineFit);
    }
    if (filtering) markers = output;
}

}  // namespace vektk
