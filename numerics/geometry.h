// Positions, poses and matrices shared by the programs.
//
// Pose: x, y, z, then a unit quaternion with the scalar first.
// Float 4x4 matrices are column-major (OpenGL order, translation in 12-14).
// The fit works in double: 3x3 column-major (element (r, c) at r + 3c) and
// 4x4 column-major rigid transforms (rotation in 0-2, 4-6, 8-10,
// translation in 12-14, elements 3, 7, 11 zero and 15 one).
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace numerics {

using Pose = std::array<float, 7>;
using Vec3f = std::array<float, 3>;
using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>;
using Mat4 = std::array<double, 16>;

constexpr Pose kIdentityPose = {0, 0, 0, 1, 0, 0, 0};
constexpr Mat3 kIdentity3 = {1, 0, 0, 0, 1, 0, 0, 0, 1};
constexpr Mat4 kIdentity4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Vec3 mul3(const Mat3& a, const Vec3& v);
Mat3 mul3(const Mat3& a, const Mat3& b);
Mat3 transpose3(const Mat3& a);
double det3(const Mat3& a);  // rule of Sarrus
// R * p + t of a rigid transform.
Vec3 transformPoint(const Mat4& t, const Vec3& p);
Mat4 makeTransform(const Mat3& rotation, const Vec3& translation);

Vec3f negate(const Vec3f& v);
Vec3f add(const Vec3f& a, const Vec3f& b);
Vec3f scale(const Vec3f& v, float s);

// Reads the 16 numbers of one orientation-file line into m; false (m
// untouched) unless the line holds 16 finite numbers separated by white space.
bool parseOrientationLine(const char* text, std::size_t length, float m[16]);

constexpr const char* kOrientationFileName = ".orientation";
constexpr std::size_t kOrientationLineMax = 1023;

// Sets m from the last valid line of the file; lines longer than
// kOrientationLineMax are ignored. A missing file leaves m unchanged.
// Returns true when a valid line was found.
bool readOrientationFile(const std::string& path, float m[16]);

}  // namespace numerics
