// Records of a z-up world (takes recorded when vekd's world was z-up) in
// the y-up world every client draws: the quarter turn of zUpToYUp.
#pragma once

#include "geometry_math.h"
#include "vek_types.h"

namespace vekd {

// A pose (x, y, z, qw, qx, qy, qz), turned.
inline void poseZUpToYUp(float pose[7]) {
    const Vec3 p = zUpToYUp(Vec3{pose[0], pose[1], pose[2]});
    const Quat q = normalized(zUpToYUp(Quat{pose[3], pose[4], pose[5], pose[6]}));
    const double values[7] = {p.x, p.y, p.z, q.w, q.x, q.y, q.z};
    for (int i = 0; i < 7; ++i) pose[i] = static_cast<float>(values[i]);
}

inline void zUpToYUp(VEKCamera& camera) { poseZUpToYUp(camera.pose); }
inline void zUpToYUp(MarkerRecord& marker) {
    const float y = marker.y;
    marker.y = marker.z;
    marker.z = 0.0f - y;  // 0, not -0, for a marker not seen
}
// A pose not found stays the identity.
inline void zUpToYUp(RigidRecord& rigid) {
    if (rigid.cond > 0) poseZUpToYUp(rigid.pose);
}

}  // namespace vekd
