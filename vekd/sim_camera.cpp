#include "sim_camera.h"

#include <cmath>
#include <cstdint>

namespace vekd {

CameraModel::CameraModel(const SceneCamera& camera)
    : position_(camera.position),
      tanHalfH_(std::tan(radians(camera.hfovDegrees) / 2)),
      tanHalfV_(std::tan(radians(camera.vfovDegrees) / 2)) {
    const Quat toWorld = normalized(camera.orientation);
    axis_[0] = rotate(toWorld, {1, 0, 0});
    axis_[1] = rotate(toWorld, {0, 1, 0});
    axis_[2] = rotate(toWorld, {0, 0, 1});
    // In the camera frame the plane of reading pos holds the origin and the
    // ray (u, 0, -1) (detector 0) or (0, v, -1) (detector 1), with
    // u = (1 - 2 pos) tan(HFOV / 2) and v = (2 pos - 1) tan(VFOV / 2); its
    // normal is (1, 0, u) or (0, 1, v).
    const Vec3 base[2] = {axis_[0] + axis_[2] * tanHalfH_, axis_[1] - axis_[2] * tanHalfV_};
    const Vec3 slope[2] = {axis_[2] * (-2 * tanHalfH_), axis_[2] * (2 * tanHalfV_)};
    for (int d = 0; d < 2; ++d) {
        ReadingLines& l = lines_;
        l.x[d] = base[d].x;
        l.y[d] = base[d].y;
        l.z[d] = base[d].z;
        l.xSlope[d] = slope[d].x;
        l.ySlope[d] = slope[d].y;
        l.zSlope[d] = slope[d].z;
        l.offset[d] = dot(base[d], position_);
        l.offsetSlope[d] = dot(slope[d], position_);
        l.square[d] = dot(base[d], base[d]);
        l.squareSlope[d] = 2 * dot(base[d], slope[d]);
        l.squareCurve[d] = dot(slope[d], slope[d]);
    }
}

bool CameraModel::project(Vec3 world, double pos[2]) const {
    const Vec3 d = world - position_;
    const double depth = -dot(axis_[2], d);
    if (!(depth > 0)) return false;
    pos[0] = 0.5 - dot(axis_[0], d) / depth / (2 * tanHalfH_);
    pos[1] = 0.5 + dot(axis_[1], d) / depth / (2 * tanHalfV_);
    return pos[0] >= 0 && pos[0] <= 1 && pos[1] >= 0 && pos[1] <= 1;
}

CameraModel calibratedModel(const VEKCamera& camera, const uint32_t fovMillidegrees[2]) {
    SceneCamera c;
    c.id = camera.id;
    c.position = {camera.pose[0], camera.pose[1], camera.pose[2]};
    c.orientation = {camera.pose[3], camera.pose[4], camera.pose[5], camera.pose[6]};
    c.hfovDegrees = fovMillidegrees[0] / 1000.0;
    c.vfovDegrees = fovMillidegrees[1] / 1000.0;
    c.calibrated = camera.cond >= 0;
    return CameraModel(c);
}

uint32_t fovMillidegrees(double degrees) { return static_cast<uint32_t>(std::lround(degrees * 1000)); }

}  // namespace vekd
