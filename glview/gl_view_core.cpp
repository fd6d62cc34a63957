#include "gl_view_core.h"

#include <algorithm>
#include <cmath>

#include "key_table.h"

namespace glview {

namespace {

bool pressedNow(const MouseState& s, int bit) { return (s.buttons & bit) && !(s.previousButtons & bit); }

}  // namespace

GLViewCore::GLViewCore(MicrosecondSource clock) : stopwatch_(clock) {}

void GLViewCore::initialise() {
    initLights();
    resetCamera();
    initExtra();
}

void GLViewCore::releaseLists() {
    for (GLuint& list : shapeLists) {
        if (list > 0) glDeleteLists(list, 1);
        list = 0;
    }
    for (const GLuint list : cameraLists)
        if (list > 0) glDeleteLists(list, 1);
    cameraLists.clear();
    cameraListsDirty = 1;
    gridPicture_.forget();
}

bool GLViewCore::moving() const {
    const Vec3f none{0, 0, 0};
    return camera.eyeVelocity != none || camera.targetVelocity != none || camera.rotationVelocity != none ||
           camera.rVelocity != 0 || camera.fovVelocity != 0;
}

void GLViewCore::draw() {
    if (pickRequested) {
        beginPick();
        drawPickables();
        endPick();
        pickRequested = 0;
        // A release that came before this pass left the mode for it.
        const MouseState* state = mouseState();
        if (!state || state->buttons == 0) pickMode = kPickNone;
    }
    setupView();
    drawScene();
    beginOverlay();
    drawOverlay();
}

void GLViewCore::resetCamera() {
    camera.mode = kOrbit;
    camera.eye = {0, 0, 0};
    camera.target = {0, 0, 0};
    camera.clampTarget();
    camera.rotation = {5, 0, 0};
    camera.r = 6;
    camera.fov = 60;
}

void GLViewCore::initLights() {
    lights.clear();
    LightSource key;
    key.id = GL_LIGHT0;
    key.kind = kAmbientLight | kDiffuseLight;
    key.position = {0, 1, 0, 0};
    key.ambient = {0.2f, 0.2f, 0.2f, 1};
    key.diffuse = {0.7f, 0.7f, 0.7f, 1};
    LightSource fill;
    fill.id = GL_LIGHT1;
    fill.kind = kDiffuseLight;
    fill.position = {-1, 0, -1, 0};
    fill.diffuse = {0.5f, 0.5f, 0.5f, 1};
    lights = {key, fill};
    for (const auto& light : lights) light.apply();
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHTING);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void GLViewCore::beginOverlay() { camera.setPixelProjection(width(), height(), 100); }

void GLViewCore::setupView() {
    camera.clampTarget();
    camera.update();
    camera.setProjection(width(), height());
    camera.applyView();
    if (!lights.empty()) glEnable(GL_LIGHTING);
    for (const auto& light : lights) light.applyPosition();
}

bool GLViewCore::key(int ascii, bool pressed) {
    using Core = GLViewCore;
    static constexpr KeyAction<Core> kKeys[] = {
        {kTab, [](Core& v, bool) { v.camera.mode = v.camera.mode == kEyeAnchored ? kOrbit : kEyeAnchored; }},
        {kCtrlR,
         [](Core& v, bool) {
             const MouseState* state = v.mouseState();
             if (!state || state->modifiers != kCtrl) v.camera.rotation = {0, 270, 0};
         }},
        {'x', turnCameraTo<Core, 0, 270, 0>},
        {'X', turnCameraTo<Core, 0, 90, 0>},
        {'y', turnCameraTo<Core, 90, 0, 0>},
        {'Y', turnCameraTo<Core, 270, 0, 0>},
        {'z', turnCameraTo<Core, 0, 0, 0>},
        {'Z', turnCameraTo<Core, 0, 180, 0>},
        // Azimuth velocity in degrees per frame.
        {'e', [](Core& v, bool pressed) { v.camera.rotationVelocity[1] = pressed ? 1.0f : 0.0f; },
         kPressAndRelease},
        {'q', [](Core& v, bool pressed) { v.camera.rotationVelocity[1] = pressed ? -1.0f : 0.0f; },
         kPressAndRelease},
        {'E', [](Core& v, bool) { v.camera.rotationVelocity[1] += 0.06f; }},
        {'Q', [](Core& v, bool) { v.camera.rotationVelocity[1] -= 0.05f; }},
        {'W', [](Core& v, bool) { v.camera.rotationVelocity[1] = 0; }},
        {'R', [](Core& v, bool) { v.resetCamera(); }},
        {'o', [](Core& v, bool) { v.camera.orthographic = !v.camera.orthographic; }},
        {'[',
         [](Core& v, bool) {
             if (v.frustumLength > 200) {
                 v.frustumLength -= 200;
                 v.cameraListsDirty = 1;
             }
         }},
        {']',
         [](Core& v, bool) {
             if (v.frustumLength < 5000) {
                 v.frustumLength += 200;
                 v.cameraListsDirty = 1;
             }
         }},
        {'S', [](Core& v, bool) { v.colorByFlags = !v.colorByFlags; }},
        {'n', [](Core& v, bool) { v.markerLabels = !v.markerLabels; }},
        {'N', [](Core& v, bool) { v.showAllCameras = !v.showAllCameras; }},
        {'G',
         [](Core& v, bool pressed) {
             if (pressed) v.measurePoints.clear();
             v.measurePointsSecond.clear();
         },
         kPressAndRelease},
        {'g', [](Core& v, bool) { v.measureUnderPointer(); }},
        {'l', [](Core& v, bool) { v.linkSelectedMarkers(true); }},
        {'L', [](Core& v, bool) { v.linkSelectedMarkers(false); }},
        {'a', [](Core& v, bool) { v.selectAllMarkers(); }},
    };
    return runKey(kKeys, *this, ascii, pressed);
}

bool GLViewCore::mouse(const MouseState& state) { return updatePointerRay(state) || pointerInput(state); }

bool GLViewCore::updatePointerRay(const MouseState& state) { return !camera.pointerRay(state.x, state.y); }

bool GLViewCore::doubleClick() {
    const uint32_t now = stopwatch_.now();
    if (clickArmed && now - lastClickTime < kDoubleClickMicroseconds) {
        clickArmed = 0;
        if (hitCount > 0)
            camera.target = lastPickPoint;
        else
            clearSelection();
        return true;
    }
    lastClickTime = now;
    clickArmed = 1;
    return false;
}

bool GLViewCore::hitHorizontalPlane(const Vec3f& origin, const Vec3f& dir, float height, Vec3f& hit) const {
    if (dir[1] == 0) return false;
    const float t = (height - origin[1]) / dir[1];
    if (!(t > 0)) return false;
    hit = numerics::add(origin, numerics::scale(dir, t));
    return true;
}

bool GLViewCore::zoom(const MouseState& state) {
    const float factor = (state.modifiers & kShift) ? 1.1f : 1.5f;
    const bool ctrl = (state.modifiers & kCtrl) != 0;
    Vec3f hit;
    if (state.buttons == (kLeftButton | kRightButton)) {
        camera.r += camera.r * state.dy * 0.01f;
    } else if (state.buttons == (kMiddleButton | kRightButton)) {
        camera.r = 20;
    } else if (pressedNow(state, kWheelForward)) {
        if (camera.setRadius(camera.r / factor) && ctrl &&
            hitHorizontalPlane(camera.eye, camera.rayDir, camera.center[1], hit))
            camera.target = numerics::add(
                camera.target,
                numerics::scale(numerics::add(hit, numerics::negate(camera.center)), 1 - 1 / factor));
    } else if (pressedNow(state, kWheelBackward)) {
        if (camera.setRadius(camera.r * factor) && ctrl &&
            hitHorizontalPlane(camera.eye, camera.rayDir, camera.center[1], hit))
            camera.target = numerics::add(
                camera.target,
                numerics::scale(numerics::add(hit, numerics::negate(camera.center)), -(factor - 1)));
    } else {
        return false;
    }
    return true;
}

bool GLViewCore::panDisplacement(const MouseState& state, Vec3f& displacement) const {
    if (state.modifiers & kShift) {
        displacement = {0, -state.dy * camera.r / 100, 0};
        return true;
    }
    Vec3f previousOrigin = camera.eye, currentOrigin = camera.eye;
    if (camera.orthographic) {
        previousOrigin = camera.previousRayOrigin;
        currentOrigin = camera.rayOrigin;
        const float angle = std::acos(std::clamp(camera.rayDir[1], -1.0f, 1.0f)) * 180.0f / 3.14159265f;
        if (angle >= 89 && angle <= 91) {
            displacement = numerics::add(previousOrigin, numerics::negate(currentOrigin));
            return true;
        }
    }
    Vec3f before, after;
    if (!hitHorizontalPlane(previousOrigin, camera.previousRayDir, 0, before) ||
        !hitHorizontalPlane(currentOrigin, camera.rayDir, 0, after))
        return false;
    displacement = numerics::add(before, numerics::negate(after));
    return true;
}

void GLViewCore::pan(const MouseState& state) {
    Vec3f displacement;
    if (panDisplacement(state, displacement)) camera.target = numerics::add(camera.target, displacement);
}

bool GLViewCore::pointerInput(const MouseState& state) {
    const bool leftPress = state.buttons == kLeftButton && state.previousButtons == 0;
    if (leftPress && state.modifiers == 0 && doubleClick()) return true;
    if (leftPress) {
        pickRequested = 1;
        pickMode = state.modifiers == kCtrl ? kPickNearestAdd : kPickNearest;
        return true;
    }
    if (state.buttons == kMiddleButton && state.previousButtons == kMiddleButton) {
        const int mode = state.modifiers == 0                  ? kPickBand
                         : state.modifiers == kCtrl            ? kPickBandAdd
                         : state.modifiers == (kShift | kCtrl) ? kPickNearestAdd
                                                               : kPickNone;
        if (mode != kPickNone) {
            pickMode = mode;
            pickRequested = 1;
        }
        return true;
    }
    if (zoom(state)) return true;
    // The end of a wheel step releases no button that was held: a zoom
    // toward the pointer keeps the target it moved.
    if (state.buttons == 0 && (state.previousButtons & ~(kWheelForward | kWheelBackward)) != 0) {
        camera.target = camera.center;
        // A pass still to run keeps the mode it was asked with.
        if (!pickRequested) pickMode = kPickNone;
        return true;
    }
    if (pickMode != kPickBand && pickMode != kPickBandAdd) {
        anchorX = static_cast<float>(state.x);
        anchorY = static_cast<float>(state.y);
    }
    if (state.buttons == kLeftButton && state.previousButtons == kLeftButton &&
        (state.modifiers == 0 || state.modifiers == kShift)) {
        pan(state);
        return true;
    }
    if (state.buttons == kRightButton && state.previousButtons == kRightButton && state.modifiers == 0) {
        camera.rotation[0] += state.dy;
        camera.rotation[1] -= state.dx;
        return true;
    }
    return false;
}

}  // namespace glview
