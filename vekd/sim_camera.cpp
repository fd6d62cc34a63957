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
