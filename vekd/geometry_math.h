// Small double-precision vector and quaternion helpers for the simulator.
// Quaternions are scalar first (w, x, y, z) and rotate body -> world.
#pragma once

#include <cmath>

namespace vekd {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(Vec3 a) { return std::sqrt(dot(a, a)); }
inline Vec3 normalized(Vec3 a) {
    const double n = norm(a);
    return n > 0 ? a * (1.0 / n) : Vec3{};
}

struct Quat {
    double w = 1, x = 0, y = 0, z = 0;
};

inline Quat operator*(Quat a, Quat b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}
inline Quat conjugate(Quat q) { return {q.w, -q.x, -q.y, -q.z}; }

inline Quat normalized(Quat q) {
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (n <= 0) return {};
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

// Rotation of `radians` about a unit axis.
inline Quat axisAngle(Vec3 axis, double radians) {
    const double s = std::sin(radians / 2);
    return {std::cos(radians / 2), axis.x * s, axis.y * s, axis.z * s};
}

inline Vec3 rotate(Quat q, Vec3 v) {
    const Vec3 u{q.x, q.y, q.z};
    const Vec3 t = cross(u, v) * 2.0;
    return v + t * q.w + cross(u, t);
}

// Angle in radians between two rotations.
inline double angleBetween(Quat a, Quat b) {
    const Quat d = conjugate(a) * b;
    return 2.0 * std::atan2(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), std::fabs(d.w));
}

// Rotation whose matrix has the columns x, y, z (an orthonormal basis).
inline Quat fromBasis(Vec3 x, Vec3 y, Vec3 z) {
    const double trace = x.x + y.y + z.z;
    Quat q;
    if (trace > 0) {
        const double s = 2.0 * std::sqrt(1.0 + trace);
        q = {s / 4, (y.z - z.y) / s, (z.x - x.z) / s, (x.y - y.x) / s};
    } else if (x.x > y.y && x.x > z.z) {
        const double s = 2.0 * std::sqrt(1.0 + x.x - y.y - z.z);
        q = {(y.z - z.y) / s, s / 4, (y.x + x.y) / s, (z.x + x.z) / s};
    } else if (y.y > z.z) {
        const double s = 2.0 * std::sqrt(1.0 + y.y - x.x - z.z);
        q = {(z.x - x.z) / s, (y.x + x.y) / s, s / 4, (z.y + y.z) / s};
    } else {
        const double s = 2.0 * std::sqrt(1.0 + z.z - x.x - y.y);
        q = {(x.y - y.x) / s, (z.x + x.z) / s, (z.y + y.z) / s, s / 4};
    }
    return normalized(q);
}

// Orientation (camera -> world) of a camera at `eye` looking at `target`:
// it looks along its -z axis with +y as close to world +y (up) as possible;
// a camera looking straight down or up has +y along world -z. Returns false
// when eye and target coincide.
inline bool lookAt(Vec3 eye, Vec3 target, Quat& out) {
    const Vec3 back = eye - target;
    if (norm(back) <= 0) return false;
    const Vec3 z = normalized(back);
    Vec3 x = cross(Vec3{0, 1, 0}, z);
    if (norm(x) < 1e-9) x = cross(Vec3{0, 0, -1}, z);  // looking straight up or down
    x = normalized(x);
    out = fromBasis(x, cross(z, x), z);
    return true;
}

// The world is y-up (the floor is y = 0). A point or direction of a z-up
// world, as older scene files and takes give them, in the y-up world: a
// quarter turn about x, (x, y, z) -> (x, z, -y).
inline Vec3 zUpToYUp(Vec3 v) { return {v.x, v.z, 0.0 - v.y}; }
// The same quarter turn applied after a rotation into the z-up world.
inline Quat zUpToYUp(Quat q) {
    const double h = std::sqrt(0.5);
    return Quat{h, -h, 0, 0} * q;
}

// Rigid transform body -> world: world = rotation * body + position.
struct Pose {
    Vec3 position;
    Quat rotation;
};

inline Vec3 apply(const Pose& p, Vec3 v) { return rotate(p.rotation, v) + p.position; }

constexpr double kPi = 3.14159265358979323846;
inline double radians(double degrees) { return degrees * kPi / 180.0; }
inline double degrees(double radians) { return radians * 180.0 / kPi; }

}  // namespace vekd
