#include "sim_camera.h"

#include <cmath>

namespace vekd {

CameraModel::CameraModel(const SceneCamera& camera)
    : position_(camera.position),
      toWorld_(normalized(camera.orientation)),
      toCamera_(conjugate(toWorld_)),
      tanHalfH_(std::tan(radians(camera.hfovDegrees) / 2)),
      tanHalfV_(std::tan(radians(camera.vfovDegrees) / 2)) {}

bool CameraModel::project(Vec3 world, double pos[2]) const {
    const Vec3 q = rotate(toCamera_, world - position_);
    const double depth = -q.z;
    if (!(depth > 0)) return false;
    pos[0] = 0.5 - q.x / depth / (2 * tanHalfH_);
    pos[1] = 0.5 + q.y / depth / (2 * tanHalfV_);
    return pos[0] >= 0 && pos[0] <= 1 && pos[1] >= 0 && pos[1] <= 1;
}

Plane CameraModel::readingPlane(int detector, double pos) const {
    // In the camera frame the plane holds the origin and the ray
    // (u, 0, -1) (detector 0) or (0, v, -1) (detector 1).
    const Vec3 inCamera = detector == 0 ? Vec3{1, 0, (0.5 - pos) * 2 * tanHalfH_}
                                        : Vec3{0, 1, (pos - 0.5) * 2 * tanHalfV_};
    Plane plane;
    plane.normal = normalized(rotate(toWorld_, inCamera));
    plane.offset = dot(plane.normal, position_);
    return plane;
}

}  // namespace vekd
