// The overlay over the 3D scene: calibration warning, axis gizmo, pointer
// and camera read-outs, rubber band and the line about the item under the
// pointer. Pixel coordinates, origin at the window centre, y up.
#include <GL/gl.h>

#include <sstream>

#include "gl_view_core.h"
#include "scene_texts.h"
#include "view_session.h"
#include "world_orientation.h"

namespace glview {

void GLViewCore::drawOverlay() {
    const float halfWidth = static_cast<float>(width()) / 2, halfHeight = static_cast<float>(height()) / 2;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    // The overlay lies over the scene, whatever the scene's depths.
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glColor3f(1, 1, 1);
    drawCameraWarning(halfWidth, halfHeight);
    if (showAxes) drawAxisGizmo();
    glColor3f(1, 1, 1);
    if (showMouseInfo) {
        if (const MouseState* state = mouseState())
            drawText(-halfWidth, halfHeight - 10, 0, mouseInfoText(*state));
        std::ostringstream out;
        camera.print(out);
        drawText(120 - halfWidth, halfHeight - 10, 0, out.str());
    }
    drawRubberBand();
    glDisable(GL_LIGHTING);
    glPopAttrib();
    drawInfoLine();
}

void GLViewCore::drawAxisGizmo() {
    glPushMatrix();
    glTranslatef(35 - static_cast<float>(width()) / 2, 35 - static_cast<float>(height()) / 2, 0);
    glRotatef(camera.rotation[0], 1, 0, 0);
    glRotatef(camera.rotation[1], 0, 1, 0);
    glRotatef(camera.rotation[2], 0, 0, 1);
    glMultMatrixf(worldOrientation().data());
    drawText(33, 0, 0, "x");
    drawText(0, 33, 0, "y");
    drawText(0, 0, 33, "z");
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glLineWidth(1);
    glScalef(30, 30, 30);
    struct Arrow {
        float colour[3];
        float tip[3];
        float head[2][3];
    };
    static constexpr Arrow kArrows[] = {
        {{1, 0, 0}, {1, 0, 0}, {{0.8f, 0.2f, 0}, {0.8f, -0.2f, 0}}},
        {{0, 1, 0}, {0, 1, 0}, {{0.2f, 0.8f, 0}, {-0.2f, 0.8f, 0}}},
        {{0.5f, 0.5f, 1}, {0, 0, 1}, {{0, 0.2f, 0.8f}, {0, -0.2f, 0.8f}}},
    };
    glBegin(GL_LINES);
    for (const Arrow& a : kArrows) {
        glColor3fv(a.colour);
        glVertex3f(-a.tip[0], -a.tip[1], -a.tip[2]);
        glVertex3fv(a.tip);
        for (const auto& head : a.head) {
            glVertex3fv(a.tip);
            glVertex3fv(head);
        }
    }
    glEnd();
    glPopMatrix();
}

void GLViewCore::drawRubberBand() {
    const MouseState* state = mouseState();
    if (!state || (pickMode != kPickBand && pickMode != kPickBandAdd)) return;
    const float halfWidth = static_cast<float>(width()) / 2, halfHeight = static_cast<float>(height()) / 2;
    const float x0 = anchorX - halfWidth, y0 = anchorY - halfHeight;
    const float x1 = static_cast<float>(state->x) - halfWidth, y1 = static_cast<float>(state->y) - halfHeight;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    for (const GLenum mode : {GL_QUADS, GL_LINE_LOOP}) {
        if (mode == GL_QUADS)
            glColor4f(1, 1, 1, 0.5f);
        else
            glColor3f(1, 1, 1);
        glBegin(mode);
        glVertex2f(x0, y0);
        glVertex2f(x1, y0);
        glVertex2f(x1, y1);
        glVertex2f(x0, y1);
        glEnd();
    }
}

void GLViewCore::drawInfoLine() {
    if (!session) return;
    const float s = sessionScale();
    std::string text;
    if (const int m = markerUnderPointer(); m >= 0) {
        const MarkerRecord& r = session->markers[static_cast<std::size_t>(m)];
        text = itemInfoText(r.id, {r.x, r.y, r.z}, r.cond, s);
    } else if (const int b = rigidUnderPointer(); b >= 0) {
        const RigidRecord& r = session->rigids[static_cast<std::size_t>(b)];
        text = itemInfoText(r.id, {r.pose[0], r.pose[1], r.pose[2]}, r.cond, s);
    } else if (const int c = cameraUnderPointer(); c >= 0) {
        const VEKCamera& r = session->cameras[static_cast<std::size_t>(c)];
        text = itemInfoText(r.id, {r.pose[0], r.pose[1], r.pose[2]}, r.cond, s);
    }
    if (text.empty()) return;
    glColor3f(1, 1, 0.8f);
    drawText(10 - static_cast<float>(width()) / 2, static_cast<float>(height()) / 2 - 10, 0, text);
}

}  // namespace glview
