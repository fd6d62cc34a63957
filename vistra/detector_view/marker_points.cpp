#include "detector_view/marker_points.h"

#include <algorithm>

std::vector<MarkerPoint> BuildMarkerPoints(const std::vector<ImageRecord>& peaks, int camera) {
    std::vector<MarkerPoint> points;
    for (const ImageRecord& peak : peaks) {
        if (peak.camera != camera) continue;
        auto it = peak.id >= 0 ? std::find_if(points.begin(), points.end(),
                                              [&](const MarkerPoint& p) { return p.id == peak.id; })
                               : points.end();
        if (it == points.end()) it = points.insert(points.end(), MarkerPoint{});
        it->id = peak.id;
        if (peak.detector == 0) {
            it->x = 1 - peak.pos;
            it->flags |= kPointX;
        } else if (peak.detector == 1) {
            it->y = peak.pos;
            it->flags |= kPointY;
        }
    }
    return points;
}
