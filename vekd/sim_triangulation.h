// Least-squares intersection of detector planes.
#pragma once

#include "sim_camera.h"

namespace vekd {

// The point nearest (in summed squared distance) to n planes; false when
// the planes do not fix a point (fewer than 3, or nearly parallel).
// rmsResidual: root mean square distance of the point from the planes.
bool intersectPlanes(const Plane* planes, int n, Vec3& point, double& rmsResidual);

}  // namespace vekd
