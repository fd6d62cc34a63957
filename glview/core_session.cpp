// The view core's operations on the session's markers and selection sets.
#include <algorithm>

#include "gl_view_core.h"
#include "view_session.h"

namespace glview {

void GLViewCore::clearSelection() {
    if (!session) return;
    session->selectedMarkers.Clear();
    session->selectedRigids.Clear();
    session->selectedCameras.Clear();
}

void GLViewCore::selectAllMarkers() {
    if (session) session->SelectAllMarkers();
}

void GLViewCore::measureUnderPointer() {
    if (!session) return;
    if (const int m = markerUnderPointer(); m >= 0) {
        const MarkerRecord& marker = session->markers[static_cast<std::size_t>(m)];
        measurePoints.push_back({marker.x, marker.y, marker.z});
    } else if (const int r = rigidUnderPointer(); r >= 0) {
        const auto& pose = session->rigids[static_cast<std::size_t>(r)].pose;
        measurePoints.push_back({pose[0], pose[1], pose[2]});
    }
}

void GLViewCore::linkSelectedMarkers(bool link) {
    if (!session) return;
    // Links join places in the marker list.
    std::vector<int> places;
    for (const auto& [id, unused] : session->selectedMarkers.items)
        for (std::size_t i = 0; i < session->markers.size(); ++i)
            if (session->markers[i].id == id) places.push_back(static_cast<int>(i));
    for (auto a = places.begin(); a != places.end(); ++a)
        for (auto b = std::next(a); b != places.end(); ++b) {
            const std::pair<int, int> pair{std::min(*a, *b), std::max(*a, *b)};
            const auto found = std::find(sceneLinks.begin(), sceneLinks.end(), pair);
            if (link && found == sceneLinks.end()) sceneLinks.push_back(pair);
            if (!link && found != sceneLinks.end()) sceneLinks.erase(found);
        }
}

}  // namespace glview
