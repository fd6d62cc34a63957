// The core's default 3D scene: grid, markers, labels, links, rigid bodies,
// selection rings and the pivot.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "gl_view_core.h"
#include "scene_shapes.h"
#include "scene_texts.h"
#include "view_session.h"
#include "world_orientation.h"

namespace glview {

namespace {

constexpr std::array<std::array<float, 3>, 16> kFlagColours = {{{1, 0, 0},
                                                                {0, 1, 0},
                                                                {0, 0, 1},
                                                                {1, 1, 0},
                                                                {1, 0, 1},
                                                                {0, 1, 1},
                                                                {1, 1, 1},
                                                                {0.7f, 0, 0},
                                                                {0, 0.7f, 0},
                                                                {0, 0, 0.6f},
                                                                {0.9f, 0.9f, 0.7f},
                                                                {0.7f, 0.7f, 0.7f},
                                                                {0.9f, 0.9f, 0.7f},
                                                                {0.9f, 0.9f, 0.7f},
                                                                {0.9f, 0.9f, 0.7f},
                                                                {0.9f, 0.9f, 0.7f}}};

Vec3f positionOf(const MarkerRecord& m) { return {m.x, m.y, m.z}; }

Vec3f normalised(const Vec3f& v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return length > 0 ? numerics::scale(v, 1 / length) : Vec3f{0, 0, 0};
}

float dot(const Vec3f& a, const Vec3f& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3f cross(const Vec3f& a, const Vec3f& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// A circle of radius 5 * size on the floor under `position`.
void drawShadow(const Vec3f& position, float radius) {
    glPushMatrix();
    glColor3f(0.5f, 0.5f, 0.5f);
    glTranslatef(position[0], 0, position[2]);
    glRotatef(90, 1, 0, 0);
    drawCircle(radius, 8);
    glPopMatrix();
}

}  // namespace

float GLViewCore::sessionScale() const { return session ? session->scale : 0.001f; }

void GLViewCore::buildShapeLists() {
    const float s = sessionScale();
    auto compile = [&](int slot, auto body) {
        if (shapeLists[static_cast<std::size_t>(slot)] > 0) return;
        const GLuint list = glGenLists(1);
        shapeLists[static_cast<std::size_t>(slot)] = list;
        glNewList(list, GL_COMPILE);
        body();
        glEndList();
    };
    compile(kAxesList, [] { drawAxisTripod(0.3f); });
    compile(kGridList, [&] {
        const float side = static_cast<float>(gridLines) * gridSize * s;
        glLineWidth(1);
        // The dim subdivision lines unsmoothed: smoothing them costs most
        // of the grid's time in a software renderer, and does not show.
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_LINE_SMOOTH);
        glColor3f(0.16f, 0.16f, 0.16f);
        drawGridSquare(side, gridLines * 5);
        glPopAttrib();
        glColor3f(0.36f, 0.36f, 0.36f);
        drawGridSquare(side, gridLines);
        glLineWidth(2);
        glColor3f(1, 1, 1);
        glBegin(GL_LINES);
        glVertex3f(-20 * s, 0, 0);
        glVertex3f(20 * s, 0, 0);
        glVertex3f(0, 0, -20 * s);
        glVertex3f(0, 0, 20 * s);
        glEnd();
        glLineWidth(1);
        glPushMatrix();
        glRotatef(90, -1, 0, 0);
        glColor4f(1, 1, 1, 0.7f);
        const auto labels = gridLabels(gridLines, unitLabel);
        for (std::size_t i = 0; i < labels.size(); ++i)
            drawStrokeText(static_cast<float>(i + 1) * gridSize * s, 0, 0, GLUT_STROKE_ROMAN, labels[i],
                           s / 4);
        glPopMatrix();
    });
    compile(kSolidCubeList, [] { glutSolidCube(1); });
    compile(kWireCubeList, [] { glutWireCube(1); });
    compile(kSolidSphereList, [] { glutSolidSphere(1, 8, 8); });
    compile(kWireSphereList, [] { glutWireSphere(1, 8, 8); });
}

void GLViewCore::drawScene() {
    glPushMatrix();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glShadeModel(GL_FLAT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (showGrid) drawGrid();
    if (session) {
        drawRulers();
        drawCameras();
        if (showMarkers) drawMarkers();
        if (showRigids) drawRigids();
        drawMarks();
        const MouseState* pointer = mouseState();
        if (pointer && pointer->buttons != 0) drawPivot(25 * sessionScale());
    } else {
        std::cout << "!vek\n";
    }
    glPopMatrix();
}

void GLViewCore::drawGrid() {
    glNormal3f(0, 1, 0);
    glColor3f(0.5f, 0.5f, 0.65f);
    glEnable(GL_LINE_SMOOTH);
    glDisable(GL_DEPTH_TEST);
    buildShapeLists();
    const Vec3f view = numerics::add(camera.center, numerics::negate(camera.eye));
    const float angle = std::acos(std::clamp(dot(normalised(view), normalised(camera.up)), -1.0f, 1.0f)) *
                        180.0f / 3.14159265f;
    glPushMatrix();
    if (camera.orthographic && angle > 89 && angle < 91) {
        // A side view: turn the grid to face the viewer.
        const Vec3f axis = cross(view, camera.up);
        glRotatef(90, axis[0], 0, axis[2]);
        glRotatef(-camera.rotation[1], 0, 1, 0);
    }
    // Drawn first, over the clear: while the view stays, its picture stands in.
    const GridPicture::View seen = GridPicture::current(shapeLists[kGridList]);
    if (!gridPicture_.draw(seen)) {
        glCallList(shapeLists[kGridList]);
        gridPicture_.drawn(seen);
    }
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    const float half = static_cast<float>(gridLines) * gridSize * sessionScale() / 2;
    glPushMatrix();
    glTranslatef(-half, 50 * sessionScale(), -half);
    glMultMatrixf(worldOrientation().data());
    glCallList(shapeLists[kAxesList]);
    glPopMatrix();
}

void GLViewCore::drawMarkers() {
    const float m = sessionScale() * scale;
    const auto& markers = session->markers;
    for (const MarkerRecord& marker : markers) {
        const auto found = session->markerColours.find(marker.id);
        if (colorByFlags) {
            const auto& c = kFlagColours[marker.flags & 0xF];
            glColor4f(c[0], c[1], c[2], 1);
        } else if (found != session->markerColours.end()) {
            glColor4f(found->second.r, found->second.g, found->second.b, found->second.a);
        } else {
            glColor4f(1, 1, 1, 1);
        }
        if (marker.cond <= 0) continue;
        const Vec3f position = positionOf(marker);
        glPushMatrix();
        glTranslatef(position[0], position[1], position[2]);
        glRotatef(90, 1, 0, 0);
        glPushMatrix();
        glScalef(5 * m, 5 * m, 5 * m);
        glCallList(shapeLists[marker.cond <= session->conditionThreshold ? kWireSphereList : kWireCubeList]);
        glPopMatrix();
        glPopMatrix();
        if (showShadows) drawShadow(position, 5 * m);
        if (session->selectedMarkers.Contains(marker.id)) drawSelectionRing(position, 7 * m, 2);
    }
    if (markerLabels) {
        glColor3f(1, 1, 1);
        const int trackers = static_cast<int>(session->trackers.size());
        for (std::size_t i = 0; i < markers.size(); ++i) {
            if (markers[i].cond <= 0) continue;
            const Vec3f position = positionOf(markers[i]);
            // Up on the screen, seen from the eye through this marker.
            const Vec3f sight = normalised(numerics::add(position, numerics::negate(camera.eye)));
            const Vec3f up =
                normalised(numerics::add(camera.up, numerics::scale(sight, -dot(camera.up, sight))));
            const Vec3f at = numerics::add(position, numerics::scale(up, 7 * m));
            const std::string& name =
                i < session->markerNames.size() ? session->markerNames[i] : std::string();
            drawText(at[0], at[1], at[2], markerLabelText(markers[i].id, name, trackers));
        }
    }
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    for (const auto& [a, b] : sceneLinks) {
        if (a < 0 || b < 0 || a >= static_cast<int>(markers.size()) || b >= static_cast<int>(markers.size()))
            continue;
        const MarkerRecord& first = markers[static_cast<std::size_t>(a)];
        const MarkerRecord& second = markers[static_cast<std::size_t>(b)];
        if (first.cond <= 0 || second.cond <= 0) continue;
        glVertex3f(first.x, first.y, first.z);
        glVertex3f(second.x, second.y, second.z);
    }
    glEnd();
}

void GLViewCore::drawRigids() {
    const float s = sessionScale();
    const auto& rigids = session->rigids;
    for (std::size_t i = 0; i < rigids.size(); ++i) {
        const int index = static_cast<int>(i);
        const RigidRecord& rigid = rigids[i];
        vektk::Colour colour{1, 1, 1, 0.8f};
        if (const auto found = session->rigidColours.find(index); found != session->rigidColours.end())
            colour = found->second;
        const Vec3f position{rigid.pose[0], rigid.pose[1], rigid.pose[2]};
        if (rigid.cond > 0) {
            float pose[16];
            convert_pm(rigid.pose, pose);
            glPushMatrix();
            glMultMatrixf(pose);
            glMultMatrixf(worldOrientation().data());
            const float length = 200 * s;
            glBegin(GL_LINES);
            glColor4f(1, 0, 0, colour.a);
            glVertex3f(0, 0, 0);
            glVertex3f(length, 0, 0);
            glColor4f(0, 1, 0, colour.a);
            glVertex3f(0, 0, 0);
            glVertex3f(0, length, 0);
            glColor4f(0, 0, 1, colour.a);
            glVertex3f(0, 0, 0);
            glVertex3f(0, 0, length);
            glEnd();
            glRotatef(90, 1, 0, 0);
            glColor4f(colour.r, colour.g, colour.b, colour.a);
            const float radius = 5 * s * scale;
            glScalef(radius, radius, radius);
            glCallList(shapeLists[kWireSphereList]);
            glPopMatrix();
        }
        if (session->selectedRigids.Contains(index)) drawSelectionRing(position, 7 * s * scale, 2);
        if (showShadows) drawShadow(position, 5 * s * scale);
    }
}

void GLViewCore::drawSelectionRing(const Vec3f& point, float radius, float width) {
    glPushMatrix();
    glTranslatef(point[0], point[1], point[2]);
    glLineWidth(width);
    glColor3f(1, 1, 0);
    // Turn the ring's x-y plane to face the eye.
    const Vec3f facing = normalised(numerics::add(camera.eye, numerics::negate(point)));
    const Vec3f right = normalised(cross(camera.up, facing));
    if (dot(right, right) > 0) {
        const Vec3f up = cross(facing, right);
        const float m[16] = {right[0],  right[1],  right[2],  0, up[0], up[1], up[2], 0,
                             facing[0], facing[1], facing[2], 0, 0,     0,     0,     1};
        glMultMatrixf(m);
    }
    drawCircle(radius, 32);
    glLineWidth(1);
    glPopMatrix();
}

void GLViewCore::drawPivot(float ringRadius) {
    const Vec3f& c = camera.center;
    if (c[1] >= 0)
        glColor3f(1, 1, 0);
    else
        glColor3f(0.5f, 0.5f, 0);
    glPushMatrix();
    glTranslatef(c[0], 0, c[2]);
    glNormal3f(0, 1, 0);
    glBegin(c[1] == 0 ? GL_POINTS : GL_LINES);
    glVertex3f(0, 0, 0);
    if (c[1] != 0) glVertex3f(0, c[1], 0);
    glEnd();
    glRotatef(90, 1, 0, 0);
    drawCircle(ringRadius, 16);
    glPopMatrix();
}

}  // namespace glview
