// The view's camera: orbit/eye-anchored/free modes, per-frame integration,
// projections and the pointer ray.
#pragma once

#include <array>
#include <ostream>

#include "geometry.h"
#include "gl_matrix.h"

namespace glview {

using numerics::Vec3f;

enum CameraMode { kFixedMatrix = 0, kEyeAnchored = 1, kOrbit = 2, kFree = 3 };

class ViewCamera {
public:
    // Per-frame integration of the velocities, limits and the mode's rule.
    void update();
    // Projection for a w x h window, modelview reset to identity.
    void setProjection(int w, int h);
    // Selection-mode projection around (x, y) of size dx x dy.
    void setPickProjection(int w, int h, int x, int y, int dx, int dy);
    // Loads the view and keeps the matrices and viewport for the pointer ray.
    void applyView();
    // Pixels, origin at the window centre, y up.
    void setPixelProjection(int w, int h, float depth);
    void clampTarget();
    void clampHeight();
    bool setRadius(float radius);
    // Pointer ray through window pixel (x, y up); false when it cannot be computed.
    bool pointerRay(int x, int y);
    void print(std::ostream& out) const;

    // Projection for the current settings, computed without GL.
    Matrix4 projectionFor(int w, int h) const;
    Matrix4 viewMatrix() const;

    int mode = kOrbit;
    int orthographic = 0;
    Vec3f eye{0, 0, 0}, center{0, 0, 0}, target{0, 0, 0}, up{0, 1, 0};
    Vec3f rotation{0, 0, 0};  // degrees: elevation, azimuth, roll
    float r = 0, fov = 60, near = 0.0001f, far = 250, rMin = 0.0005f, rMax = 100;
    Vec3f bounds{50, 25, 50};
    Vec3f eyeVelocity{0, 0, 0}, targetVelocity{0, 0, 0}, rotationVelocity{0, 0, 0};
    float rVelocity = 0, fovVelocity = 0;
    Vec3f rayDir{0, 0, 0}, previousRayDir{0, 0, 0}, rayOrigin{0, 0, 0}, previousRayOrigin{0, 0, 0};
    std::array<float, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    Matrix4 modelview{};
    Matrix4 projection{};
    std::array<int, 4> viewport{};
};

}  // namespace glview
