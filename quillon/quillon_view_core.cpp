#include "quillon_view_core.h"

#include <GL/glu.h>
#include <veksock.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "scene_shapes.h"
#include "view_session.h"

using glview::drawAxisTripod;
using glview::kCtrl;
using glview::kLeftButton;
using glview::kMiddleButton;
using glview::kRightButton;
using glview::kShift;
using glview::kWheelBackward;
using glview::kWheelForward;
using glview::MouseState;
using glview::Vec3f;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kWheelFactor = 1.1f;
constexpr float kPoseDegreesPerPixel = -0.1f;
constexpr uint32_t kRateWindowMicroseconds = 1000000;
constexpr int kOverlayFont = 4;

bool pressedNow(const MouseState& s, int bit) { return (s.buttons & bit) && !(s.previousButtons & bit); }
bool held(const MouseState& s, int buttons) { return s.buttons == buttons && s.previousButtons == buttons; }

void drawWireSphere(float radius) {
    GLUquadric* quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_LINE);
    gluSphere(quadric, radius, 8, 8);
    gluDeleteQuadric(quadric);
}

// Marker colours by flag word; a word with the bit of value 8 keeps the
// colour that was set.
void setFlagColour(uint32_t flags) {
    static constexpr float kColours[8][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0},
                                             {1, 0, 1}, {0, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}};
    const uint32_t index = flags & 0xF;
    if (index < 8) glColor4f(kColours[index][0], kColours[index][1], kColours[index][2], 1);
}

}  // namespace

QuillonViewCore::QuillonViewCore(glview::MicrosecondSource clock) : GLViewCore(clock) {}

void QuillonViewCore::resetCamera() {
    camera.mode = glview::kOrbit;
    camera.eye = {0, 0, 0};
    camera.target = {0, 0, 0};
    camera.center = {0, 0, 0};
    camera.rotation = {45, 0, 0};
    camera.r = 2000;
    camera.fov = 60;
    camera.near = 0.01f;
    camera.far = 200000;
    camera.rMin = 0.05f;
    camera.rMax = 50000;
}

void QuillonViewCore::sendPose() { vekLoadPose(editedPose.data()); }

void QuillonViewCore::turnPose(float degrees, float x, float y, float z) {
    const float half = degrees * kPi / 360;
    float turn[7] = {0, 0, 0, std::cos(half), x * std::sin(half), y * std::sin(half), z * std::sin(half)};
    float turned[7];
    mult_pp(turn, editedPose.data(), turned);
    normalize_p(turned);
    std::copy(std::begin(turned), std::end(turned), editedPose.begin());
    sendPose();
}

void QuillonViewCore::resetPose() {
    editedPose = {0, 0, 0, 1, 0, 0, 0};
    sendPose();
}

void QuillonViewCore::centrePoseOnTarget() {
    for (int i = 0; i < 3; ++i) editedPose[static_cast<std::size_t>(i)] -= camera.target[i];
    sendPose();
    camera.target = {0, 0, 0};
}

// The editor's keys; the core's own keys for the rest. Its views along
// the axes look from the other side than the core's.
bool QuillonViewCore::key(int ascii, bool pressed) {
    using View = QuillonViewCore;
    static constexpr glview::KeyAction<View> kKeys[] = {
        {glview::kEscape,
         [](View& v, bool) {
             vekDone();
             v.quit();
         }},
        {'O', [](View& v, bool) { v.resetPose(); }},
        {glview::kCtrlR,
         [](View& v, bool) {
             const MouseState* state = v.mouseState();
             if (state && state->modifiers == kCtrl)
                 v.resetPose();
             else
                 v.GLViewCore::key(glview::kCtrlR, true);
         }},
        {'X', glview::turnCameraTo<View, 0, 270, 0>},
        {'x', glview::turnCameraTo<View, 0, 90, 0>},
        {'Y', glview::turnCameraTo<View, 270, 0, 0>},
        {'y', glview::turnCameraTo<View, 90, 0, 0>},
        {'Z', glview::turnCameraTo<View, 0, 0, 0>},
        {'z', glview::turnCameraTo<View, 0, 180, 0>},
        {'o', [](View& v, bool) { v.centrePoseOnTarget(); }},
    };
    return glview::runKey(kKeys, *this, ascii, pressed) || GLViewCore::key(ascii, pressed);
}

bool QuillonViewCore::pointerInput(const MouseState& state) {
    auto& r = camera.r;
    if (pressedNow(state, kWheelForward)) {
        r /= kWheelFactor;
    } else if (pressedNow(state, kWheelBackward)) {
        r *= kWheelFactor;
    } else if (state.buttons == (kMiddleButton | kRightButton)) {
        r = 20;
    } else if (state.buttons == (kLeftButton | kRightButton) || held(state, kMiddleButton)) {
        r += r * state.dy * 0.01f;
    } else if (held(state, kLeftButton)) {
        Vec3f displacement;
        if (!panDisplacement(state, displacement)) return true;
        if (state.modifiers & kCtrl) {
            for (int i = 0; i < 3; ++i) editedPose[static_cast<std::size_t>(i)] += displacement[i];
            sendPose();
        } else {
            camera.target = numerics::add(camera.target, displacement);
        }
    } else if (held(state, kRightButton) && state.modifiers == 0) {
        camera.rotation[0] += state.dy;
        camera.rotation[1] -= state.dx;
    } else if (held(state, kRightButton) && state.modifiers == kCtrl) {
        turnPose(state.dy * kPoseDegreesPerPixel, 1, 0, 0);
        turnPose(state.dx * kPoseDegreesPerPixel, 0, 0, 1);
    } else if (held(state, kRightButton) && state.modifiers == (kShift | kCtrl)) {
        turnPose(state.dx * kPoseDegreesPerPixel, 0, 1, 0);
    } else {
        return false;
    }
    return true;
}

void QuillonViewCore::drawScene() {
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    if (showGrid) drawGrid();
    if (session && showMarkers) drawMarkers();
    const MouseState* state = mouseState();
    if (state && state->buttons) drawPivot(25);  // millimetres
    drawAxisTripod(300);
    glPopMatrix();
}

void QuillonViewCore::drawGrid() {
    constexpr float kHalf = 5000, kStep = 1000;
    glNormal3f(0, 1, 0);
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINES);
    for (float v = -kHalf; v <= kHalf; v += kStep) {
        glVertex3f(v, 0, -kHalf);
        glVertex3f(v, 0, kHalf);
        glVertex3f(-kHalf, 0, v);
        glVertex3f(kHalf, 0, v);
    }
    glEnd();
    glColor3f(1, 1, 1);
    drawText("1m", -kStep, 0, 0, kOverlayFont);
    glPushMatrix();
    glTranslatef(-kHalf, 50, -kHalf);
    drawAxisTripod(300);
    glPopMatrix();
}

void QuillonViewCore::drawMarkers() {
    for (const MarkerRecord& m : session->markers) {
        if (!(m.cond > 0)) continue;
        if (colorByFlags)
            setFlagColour(m.flags);
        else
            glColor4f(1, 1, 1, 1);
        glPushMatrix();
        glTranslatef(m.x, m.y, m.z);
        glRotatef(90, 1, 0, 0);
        drawWireSphere(5 * scale);
        glPopMatrix();
    }
}

void QuillonViewCore::drawAxisGizmo() {
    glPushMatrix();
    glTranslatef(25 - width() / 2.0f, 25 - height() / 2.0f, 0);
    glRotatef(camera.rotation[0], 1, 0, 0);
    glRotatef(camera.rotation[1], 0, 1, 0);
    glRotatef(camera.rotation[2], 0, 0, 1);
    drawAxisTripod(20);
    glPopMatrix();
}

void QuillonViewCore::measureDataRate() {
    const uint32_t now = stopwatch().now();
    const int frame = session ? session->lastFrame : 0;
    const uint32_t elapsed = now - rateWindowStart_;
    if (elapsed < kRateWindowMicroseconds) return;
    dataRate = static_cast<float>(frame - rateWindowFrame_) * 1e6f / static_cast<float>(elapsed);
    rateWindowStart_ = now;
    rateWindowFrame_ = frame;
}

void QuillonViewCore::drawOverlay() {
    measureDataRate();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glClear(GL_DEPTH_BUFFER_BIT);
    drawAxisGizmo();
    const float left = -width() / 2.0f, top = height() / 2.0f;
    glColor3f(1, 1, 1);
    char line[96];
    if (const MouseState* s = mouseState()) {
        std::snprintf(line, sizeof line, "%4d %4d [%d%d%d%d%d]  %x", s->x, s->y, s->buttons & 1,
                      (s->buttons >> 1) & 1, (s->buttons >> 2) & 1, (s->buttons >> 3) & 1,
                      (s->buttons >> 4) & 1, static_cast<unsigned>(s->modifiers));
        drawText(line, left, top - 10, 0, kOverlayFont);
    }
    std::ostringstream cameraText;
    camera.print(cameraText);
    drawText(cameraText.str(), 120 + left, top - 10, 0, kOverlayFont);
    std::snprintf(line, sizeof line, "frm=%d @%.1f", session ? session->lastFrame : 0,
                  static_cast<double>(dataRate));
    drawText(line, left, top - 22, 0, kOverlayFont);
    glPopAttrib();
}
