// Selection of markers, rigid bodies and cameras: the GL selection pass,
// the hits it leaves, and the hover picks along the pointer ray.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "gl_view_core.h"
#include "view_session.h"

namespace glview {

namespace {

constexpr int kPickWindow = 8;
constexpr float kFarAway = 100000;

Vec3f markerPosition(const MarkerRecord& m) { return {m.x, m.y, m.z}; }
template <typename Record>
Vec3f posePosition(const Record& r) {
    return {r.pose[0], r.pose[1], r.pose[2]};
}

// One pickable item: its two names around a scaled shape at its position.
void drawPickable(const Vec3f& position, PickKind kind, int id, float size, GLuint shape) {
    glPushMatrix();
    glTranslatef(position[0], position[1], position[2]);
    glLoadName(static_cast<GLuint>(kind));
    glPushName(static_cast<GLuint>(id));
    glScalef(size, size, size);
    glCallList(shape);
    glPopName();
    glPopMatrix();
}

}  // namespace

void GLViewCore::beginPick() {
    const MouseState* state = mouseState();
    const int x = state ? state->x : 0, y = state ? state->y : 0;
    const bool band = pickMode == kPickBand || pickMode == kPickBandAdd;
    const int dx = band ? std::max(1, static_cast<int>(std::fabs(x - anchorX))) : kPickWindow;
    const int dy = band ? std::max(1, static_cast<int>(std::fabs(y - anchorY))) : kPickWindow;
    const int cx = band ? static_cast<int>((x + anchorX) / 2) : x;
    const int cy = band ? static_cast<int>((y + anchorY) / 2) : y;
    selectionBuffer.fill(0);
    glSelectBuffer(kSelectionBufferSize, selectionBuffer.data());
    camera.update();
    camera.setPickProjection(width(), height(), cx, cy, dx, dy);
    camera.applyView();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glInitNames();
    glPushName(0);
}

void GLViewCore::drawPickables() {
    if (!session) return;
    buildShapeLists();
    const float s = sessionScale();
    glPushMatrix();
    if (showCameras)
        for (const VEKCamera& c : session->cameras)
            if (c.cond > 0)
                drawPickable(posePosition(c), kPickCamera, c.id, 50 * s, shapeLists[kSolidCubeList]);
    for (const MarkerRecord& m : session->markers)
        if (m.cond > 0)
            drawPickable(markerPosition(m), kPickMarker, m.id, scale * 5 * s, shapeLists[kSolidSphereList]);
    for (const RigidRecord& r : session->rigids)
        if (r.cond > 0)
            drawPickable(posePosition(r), kPickRigid, r.id, scale * 5 * s, shapeLists[kSolidSphereList]);
    glPopMatrix();
}

void GLViewCore::endPick() {
    const int hits = glRenderMode(GL_RENDER);
    hitCount = 0;
    if (pickMode == kPickBand) clearSelection();
    if (hits > 0) hitCount = processHits(hits);
}

int GLViewCore::processHits(int count) {
    int nearest = -1;
    std::vector<PickName> names =
        readHitRecords(selectionBuffer.data(), selectionBuffer.size(), count, nearest);
    if ((pickMode == kPickNearestAdd || pickMode == kPickNearest) && nearest >= 0)
        names = {names[static_cast<std::size_t>(nearest)]};
    applyHits(names);
    return static_cast<int>(names.size());
}

int GLViewCore::applyHits(const std::vector<PickName>& names) {
    if (names.empty() || !session) return 0;
    vektk::ViewSession& s = *session;
    auto indexOf = [](const auto& list, int id) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].id == id) return static_cast<int>(i);
        return -1;
    };
    int acted = 0;
    // Cameras, then markers, then rigids; markers are kept by id, the
    // others by list index.
    for (const PickKind kind : {kPickCamera, kPickMarker, kPickRigid}) {
        std::vector<int> keys;
        std::vector<Vec3f> places;
        for (const PickName& name : names) {
            if (name.kind != kind) continue;
            const int index = kind == kPickMarker  ? indexOf(s.markers, name.id)
                              : kind == kPickRigid ? indexOf(s.rigids, name.id)
                                                   : indexOf(s.cameras, name.id);
            if (index < 0) continue;
            const auto i = static_cast<std::size_t>(index);
            keys.push_back(kind == kPickMarker ? name.id : index);
            places.push_back(kind == kPickMarker  ? markerPosition(s.markers[i])
                             : kind == kPickRigid ? posePosition(s.rigids[i])
                                                  : posePosition(s.cameras[i]));
        }
        if (keys.empty()) continue;
        vektk::SelectionSet& set = kind == kPickMarker  ? s.selectedMarkers
                                   : kind == kPickRigid ? s.selectedRigids
                                                        : s.selectedCameras;
        const int counted = kind == kPickCamera ? 0 : 1;
        if (pickMode == kPickBand || pickMode == kPickBandAdd) {
            for (const int key : keys) set.Select(key);
            acted += counted * static_cast<int>(keys.size());
            continue;
        }
        // Only the nearest item: a camera replaces the selected cameras, a
        // marker or rigid the selected markers and rigids.
        if (pickMode == kPickNearest && kind == kPickCamera) s.selectedCameras.Clear();
        if (pickMode == kPickNearest && kind != kPickCamera) {
            s.selectedMarkers.Clear();
            s.selectedRigids.Clear();
        }
        set.Select(keys.front());
        lastPickPoint = places.front();
        acted += counted;
    }
    return acted;
}

template <typename List, typename Position>
int GLViewCore::itemUnderPointer(const List& items, Position position, float radius) const {
    const Vec3f origin = camera.orthographic ? camera.rayOrigin : camera.eye;
    const Vec3f& dir = camera.rayDir;
    int found = -1;
    float nearest = kFarAway;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].cond <= 0) continue;
        const Vec3f v = numerics::add(position(items[i]), numerics::negate(origin));
        const float along = v[0] * dir[0] + v[1] * dir[1] + v[2] * dir[2];
        const float squared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
        if (squared - along * along >= radius * radius) continue;
        const float distance = std::sqrt(squared);
        if (distance < nearest) {
            nearest = distance;
            found = static_cast<int>(i);
        }
    }
    return found;
}

int GLViewCore::markerUnderPointer() const {
    if (!session) return -1;
    return itemUnderPointer(session->markers, markerPosition, scale * 5 * sessionScale());
}

int GLViewCore::rigidUnderPointer() const {
    if (!session) return -1;
    return itemUnderPointer(session->rigids, posePosition<RigidRecord>, scale * 5 * sessionScale());
}

int GLViewCore::cameraUnderPointer() const {
    if (!session) return -1;
    return itemUnderPointer(session->cameras, posePosition<VEKCamera>, 50 * sessionScale());
}

}  // namespace glview
