// The capture cameras in the scene: body glyphs, labels, floor stands,
// selection rings, view cones, and the overlay's calibration warning.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "gl_view_core.h"
#include "scene_shapes.h"
#include "scene_texts.h"
#include "view_session.h"

namespace glview {

namespace {

bool samePlaces(const std::vector<VEKCamera>& a, const std::vector<VEKCamera>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const VEKCamera& x, const VEKCamera& y) {
        return x.cond == y.cond && std::equal(std::begin(x.pose), std::end(x.pose), std::begin(y.pose));
    });
}

void compileCone(const VEKCamera& camera, float length) {
    if (camera.cond < 0) return;
    float pose[16];
    convert_pm(camera.pose, pose);
    const float half = length / std::sqrt(3.0f);
    const float corners[4][3] = {
        {half, half, -length}, {half, -half, -length}, {-half, -half, -length}, {-half, half, -length}};
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glPushMatrix();
    glMultMatrixf(pose);
    glRotatef(45, 0, 0, 1);
    glColor3f(0.5f, 0.5f, 0);
    glBegin(GL_LINES);
    for (const auto& corner : corners) {
        glVertex3f(0, 0, 0);
        glVertex3fv(corner);
    }
    glEnd();
    glBegin(GL_LINE_LOOP);
    for (const auto& corner : corners) glVertex3fv(corner);
    glEnd();
    glColor4f(1, 1, 0, 0.05f);
    glBegin(GL_TRIANGLE_FAN);
    glVertex3f(0, 0, 0);
    for (const auto& corner : corners) glVertex3fv(corner);
    glVertex3fv(corners[0]);
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

}  // namespace

void GLViewCore::drawCameras() {
    if (!session || !(showCameras || showAllCameras || showCameraStands || showCameraExtra)) return;
    const auto& cameras = session->cameras;
    if (!samePlaces(cameras, cachedCameras)) {
        cachedCameras = cameras;
        cameraListsDirty = 1;
    }
    if (cameraListsDirty || cameraLists.size() != cameras.size()) {
        buildConeLists();
        cameraListsDirty = 0;
    }
    const auto& selected = session->selectedCameras;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const bool chosen = selected.Contains(static_cast<int>(i));
        const bool cone = showAllCameras ? chosen || selected.items.empty() : chosen;
        if (cameras[i].cond > 0 && cone) glCallList(cameraLists[i]);
    }
    const float s = sessionScale();
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const VEKCamera& camera = cameras[i];
        if (camera.cond <= 0) continue;
        const Vec3f position{camera.pose[0], camera.pose[1], camera.pose[2]};
        if (markerLabels) {
            glColor3f(1, 1, 1);
            drawText(position[0], position[1] + 70 * s, position[2], std::to_string(i + 1));
        }
        if (showCameras) {
            float pose[16];
            convert_pm(camera.pose, pose);
            glPushMatrix();
            glMultMatrixf(pose);
            glBegin(GL_LINES);
            glColor3f(1, 0, 0);
            glVertex3f(50 * s, 0, 0);
            glVertex3f(-50 * s, 0, 0);
            glColor3f(0, 1, 0);
            glVertex3f(0, 0, 0);
            glVertex3f(0, 64 * s, 0);
            glColor3f(1, 1, 1);
            glVertex3f(0, 0, 0);
            glVertex3f(0, 0, -150 * s);
            glEnd();
            glPopMatrix();
        }
        if (showCameraStands) {
            glPushMatrix();
            glTranslatef(position[0], 0, position[2]);
            glColor3f(0.7f, 0.7f, 0.7f);
            glBegin(GL_LINES);
            glVertex3f(0, 0, 0);
            glVertex3f(0, position[1], 0);
            glEnd();
            glRotatef(90, 1, 0, 0);
            drawCircle(75 * s, 16);
            glPopMatrix();
        }
        if (selected.Contains(static_cast<int>(i))) drawSelectionRing(position, 70 * s, 2);
    }
}

void GLViewCore::buildConeLists() {
    for (const GLuint list : cameraLists)
        if (list > 0) glDeleteLists(list, 1);
    const auto& cameras = session ? session->cameras : cachedCameras;
    cameraLists.assign(cameras.size(), 0);
    const float length = frustumLength * sessionScale();
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        cameraLists[i] = glGenLists(1);
        glNewList(cameraLists[i], GL_COMPILE);
        compileCone(cameras[i], length);
        glEndList();
    }
}

void GLViewCore::drawCameraWarning(float halfWidth, float halfHeight) {
    if (!session) return;
    std::vector<int> numbers;
    for (std::size_t i = 0; i < session->cameras.size(); ++i)
        if (session->cameras[i].cond < 0) numbers.push_back(static_cast<int>(i) + 1);
    if (numbers.empty()) return;
    drawBar(halfHeight, halfHeight - 17, -halfWidth - 1, halfWidth + 1);
    glColor3f(0.8f, 0.8f, 0);
    drawText(-150, halfHeight - 12, 0, cameraWarningText(numbers));
}

void GLViewCore::drawBar(float top, float bottom, float left, float right) {
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glColor4f(0, 0, 0, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f(left, top);
    glVertex2f(right, top);
    glVertex2f(right, bottom);
    glVertex2f(left, bottom);
    glEnd();
    glColor4f(0.6f, 0.6f, 0.6f, 1);
    glBegin(GL_LINE_STRIP);
    glVertex2f(left, top);
    glVertex2f(right, top);
    glVertex2f(right, bottom);
    glVertex2f(left, bottom);
    glVertex2f(left, top);
    glEnd();
    glEnable(GL_DEPTH_TEST);
}

}  // namespace glview
