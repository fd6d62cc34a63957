// The view core's operations on the session's markers and selection sets.
#include <algorithm>

#include "gl_view_core.h"
#include "view_session.h"

namespace glview {

namespace {

bool findMarker(const vektk::ViewSession& s, int id, Vec3f& position) {
    for (const auto& m : s.markers)
        if (m.id == id) {
            position = {m.x, m.y, m.z};
            return true;
        }
    return false;
}

}  // namespace

void GLViewCore::clearSelection() {
    if (!session) return;
    session->selectedMarkers.Clear();
    session->selectedRigids.Clear();
    session->selectedCameras.Clear();
}

bool GLViewCore::sessionKey(int ascii) {
    if (!session) return false;
    switch (ascii) {
        case 'a':
            session->SelectAllMarkers();
            return true;
        case 'g': {
            Vec3f position;
            if (!session->selectedMarkers.items.empty() &&
                findMarker(*session, session->selectedMarkers.items.begin()->first, position)) {
                measurePoints.push_back(position);
            } else if (!session->selectedRigids.items.empty()) {
                const auto index = static_cast<std::size_t>(session->selectedRigids.items.begin()->first);
                if (index < session->rigids.size()) {
                    const auto& pose = session->rigids[index].pose;
                    measurePoints.push_back({pose[0], pose[1], pose[2]});
                }
            }
            return true;
        }
        case 'l':
        case 'L':
            for (auto a = session->selectedMarkers.items.begin(); a != session->selectedMarkers.items.end();
                 ++a)
                for (auto b = std::next(a); b != session->selectedMarkers.items.end(); ++b) {
                    const std::pair<int, int> link{a->first, b->first};
                    const auto found = std::find(sceneLinks.begin(), sceneLinks.end(), link);
                    if (ascii == 'l' && found == sceneLinks.end()) sceneLinks.push_back(link);
                    if (ascii == 'L' && found != sceneLinks.end()) sceneLinks.erase(found);
                }
            return true;
        default:
            return false;
    }
}

}  // namespace glview
