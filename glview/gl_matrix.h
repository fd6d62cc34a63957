// Column-major 4x4 double matrices as OpenGL builds them, computed on the
// CPU so that the camera can keep them without reading GL state back.
#pragma once

#include <array>

namespace glview {

using Matrix4 = std::array<double, 16>;
using Vec3d = std::array<double, 3>;

Matrix4 identityMatrix();
Matrix4 multiply(const Matrix4& a, const Matrix4& b);
Matrix4 perspectiveMatrix(double fovDegrees, double aspect, double zNear, double zFar);
Matrix4 orthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar);
Matrix4 lookAtMatrix(const Vec3d& eye, const Vec3d& center, const Vec3d& up);
// Inverse by cofactors; false when the determinant is 0.
bool invertMatrix(const Matrix4& m, Matrix4& inverse);
// Window point (x, y up, depth 0..1) back to world space; false when the
// matrices are singular or the homogeneous w is 0.
bool unproject(double x, double y, double depth, const Matrix4& modelview, const Matrix4& projection,
               const std::array<int, 4>& viewport, Vec3d& out);

}  // namespace glview
