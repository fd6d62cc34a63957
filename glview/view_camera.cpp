#include "view_camera.h"

#include <GL/gl.h>

#include <cmath>
#include <iomanip>
#include <numbers>

namespace glview {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

Vec3f rotateX(const Vec3f& v, double deg) {
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {v[0], static_cast<float>(c * v[1] - s * v[2]), static_cast<float>(s * v[1] + c * v[2])};
}
Vec3f rotateY(const Vec3f& v, double deg) {
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {static_cast<float>(c * v[0] + s * v[2]), v[1], static_cast<float>(-s * v[0] + c * v[2])};
}
Vec3f rotateZ(const Vec3f& v, double deg) {
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {static_cast<float>(c * v[0] - s * v[1]), static_cast<float>(s * v[0] + c * v[1]), v[2]};
}

// Unit direction from the centre to the eye for elevation and azimuth.
Vec3f orbitDirection(float el, float az) {
    const double e = el * kDegree, a = az * kDegree;
    return {static_cast<float>(-std::sin(a) * std::cos(e)), static_cast<float>(std::sin(e)),
            static_cast<float>(std::cos(a) * std::cos(e))};
}

Vec3d toDouble(const Vec3f& v) { return {v[0], v[1], v[2]}; }
Vec3f toFloat(const Vec3d& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

Vec3f normalized(const Vec3d& v) {
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len == 0) return toFloat(v);
    return toFloat({v[0] / len, v[1] / len, v[2] / len});
}

void loadMatrix(GLenum mode, const Matrix4& m) {
    glMatrixMode(mode);
    glLoadMatrixd(m.data());
}

}  // namespace

void ViewCamera::update() {
    eye = numerics::add(eye, eyeVelocity);
    target = numerics::add(target, targetVelocity);
    rotation = numerics::add(rotation, rotationVelocity);
    r += rVelocity;
    fov += fovVelocity;
    if (r < rMin) r = rMin;
    if (fov < 1) fov = 1;
    if (fov > 90) fov = 90;
    if (r > rMax) r = rMax;

    const float el = rotation[0], az = rotation[1];
    switch (mode) {
        case kEyeAnchored:
            target = numerics::add(eye, numerics::scale(orbitDirection(el, az), -r));
            clampTarget();
            break;
        case kOrbit: {
            const Vec3f old = eye;
            eye = numerics::add(center, numerics::scale(orbitDirection(el, az), r));
            if (orthographic) rayOrigin = numerics::add(rayOrigin, numerics::add(eye, numerics::negate(old)));
            break;
        }
        case kFree: {
            const Vec3f d = numerics::add(eye, numerics::negate(center));
            const float len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            r = len;
            if (len != 0) {
                rotation[0] = static_cast<float>(90.0 - std::acos(d[1] / len) / kDegree);
                rotation[1] = static_cast<float>(std::atan2(-d[0], d[2]) / kDegree);
                rotation[2] = 0;
            }
            break;
        }
        default:
            break;
    }
    if (mode != kFixedMatrix)
        up = rotateZ(rotateY(rotateX({0, 1, 0}, -rotation[0]), -rotation[1]), -rotation[2]);
}

void ViewCamera::clampTarget() {
    const float horizontal = std::hypot(target[0], target[2]);
    if (horizontal < bounds[0]) {
        center = target;
        return;
    }
    const float current = std::hypot(center[0], center[2]);
    if (current == bounds[0] || current == 0) return;
    center[0] *= bounds[0] / current;
    center[2] *= bounds[0] / current;
}

void ViewCamera::clampHeight() {
    if (std::fabs(target[1]) < bounds[1]) {
        center[1] = target[1];
        return;
    }
    if (std::fabs(center[1]) == bounds[1] || center[1] == 0) return;
    center[1] = std::copysign(bounds[1], center[1]);
}

Matrix4 ViewCamera::projectionFor(int w, int h) const {
    const double aspect = h != 0 ? static_cast<double>(w) / h : 1.0;
    if (orthographic) {
        const double half = r / std::tan(fov * kDegree);
        return orthoMatrix(-half * aspect, half * aspect, -half, half, -far, far);
    }
    return perspectiveMatrix(fov, aspect, near, far);
}

Matrix4 ViewCamera::viewMatrix() const {
    if (mode == kFixedMatrix) {
        Matrix4 m;
        for (int i = 0; i < 16; ++i) m[i] = matrix[i];
        return m;
    }
    return lookAtMatrix(toDouble(eye), toDouble(center), toDouble(up));
}

void ViewCamera::setProjection(int w, int h) {
    loadMatrix(GL_PROJECTION, projectionFor(w, h));
    loadMatrix(GL_MODELVIEW, identityMatrix());
}

void ViewCamera::setPickProjection(int w, int h, int x, int y, int dx, int dy) {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    glRenderMode(GL_SELECT);
    // The pick matrix of GLU, built here so no GLU state is involved.
    Matrix4 pick = identityMatrix();
    if (dx > 0 && dy > 0) {
        pick[0] = vp[2] / static_cast<double>(dx);
        pick[5] = vp[3] / static_cast<double>(dy);
        pick[12] = (vp[2] - 2 * (x - vp[0])) / static_cast<double>(dx);
        pick[13] = (vp[3] - 2 * (y - vp[1])) / static_cast<double>(dy);
    }
    loadMatrix(GL_PROJECTION, multiply(pick, projectionFor(w, h)));
    loadMatrix(GL_MODELVIEW, identityMatrix());
}

void ViewCamera::applyView() {
    loadMatrix(GL_MODELVIEW, viewMatrix());
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    glGetIntegerv(GL_VIEWPORT, viewport.data());
}

void ViewCamera::setPixelProjection(int w, int h, float depth) {
    loadMatrix(GL_PROJECTION, orthoMatrix(-w / 2.0, w / 2.0, -h / 2.0, h / 2.0, -depth, depth));
    loadMatrix(GL_MODELVIEW, identityMatrix());
}

bool ViewCamera::setRadius(float radius) {
    if (radius < rMin || radius > rMax) return false;
    r = radius;
    return true;
}

bool ViewCamera::pointerRay(int x, int y) {
    Vec3d nearPoint, farPoint;
    if (!unproject(x, y, 1.0, modelview, projection, viewport, farPoint)) return false;
    previousRayDir = rayDir;
    if (!orthographic) {
        rayDir = normalized({farPoint[0] - eye[0], farPoint[1] - eye[1], farPoint[2] - eye[2]});
        return true;
    }
    if (!unproject(x, y, 0.0, modelview, projection, viewport, nearPoint)) return false;
    previousRayOrigin = rayOrigin;
    rayOrigin = toFloat(nearPoint);
    rayDir = normalized({farPoint[0] - nearPoint[0], farPoint[1] - nearPoint[1], farPoint[2] - nearPoint[2]});
    return true;
}

void ViewCamera::print(std::ostream& out) const {
    const auto flags = out.flags();
    const auto precision = out.precision(4);
    out << "   m:" << mode << "   r:" << r << "   p[ " << eye[0] << " " << eye[1] << " " << eye[2] << "]"
        << "   rot[ " << rotation[0] << " " << rotation[1] << " " << rotation[2] << "]"
        << "  fov:" << fov;
    out.precision(precision);
    out.flags(flags);
}

}  // namespace glview
