// Least-squares rigid fit by Horn's closed-form unit-quaternion method:
// the rotation is the eigenvector of the largest eigenvalue of a symmetric
// 4x4 matrix built from the cross-covariance of the two point sets.
#pragma once

#include "geometry_math.h"

namespace vekd {

// Eigen decomposition of a symmetric 4x4 matrix by cyclic Jacobi rotations.
// values[k] belongs to the column vectors[.][k]; sorted by descending value.
void symmetricEigen4(const double matrix[4][4], double values[4], double vectors[4][4]);

// Finds the pose with world[i] ~ pose * body[i] for n point pairs.
// False when n < 3 or the points do not fix a rotation (all on a line).
// rmsResidual: root mean square distance between world and pose * body.
bool fitRigidHorn(const Vec3* body, const Vec3* world, int n, Pose& pose, double& rmsResidual);

}  // namespace vekd
