// Least-squares rigid transform between two sets of paired points.
#pragma once

#include "geometry.h"

#include <cstdint>
#include <optional>

namespace numerics {

struct CaptureAccumulator {
    int32_t n = 0;
    Vec3 sa{};   // sum of a (measured positions)
    Vec3 sb{};   // sum of b (target positions)
    Mat3 sab{};  // sum of a_i * b_j at 3i + j

    void reset() { *this = CaptureAccumulator{}; }
    int32_t add(const Vec3& a, const Vec3& b);
    // T with b ~ R a + t, R a proper rotation. Meaningful for n >= 2;
    // nullopt when the cross-covariance is not finite.
    std::optional<Mat4> fit() const;
};

}  // namespace numerics
