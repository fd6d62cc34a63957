#include "sim_triangulation.h"

#include <algorithm>
#include <cmath>

namespace vekd {

bool PlaneSums::solve(Vec3& point, double& rmsResidual) const {
    if (count_ < 3) return false;
    const double c00 = a11_ * a22_ - a12_ * a12_;
    const double c01 = a02_ * a12_ - a01_ * a22_;
    const double c02 = a01_ * a12_ - a02_ * a11_;
    const double det = a00_ * c00 + a01_ * c01 + a02_ * c02;
    const double trace = a00_ + a11_ + a22_;
    // Rays closer than about a tenth of a degree leave depth undetermined.
    if (!(det > 1e-6 * trace * trace * trace / 27)) return false;
    const double c11 = a00_ * a22_ - a02_ * a02_;
    const double c12 = a01_ * a02_ - a00_ * a12_;
    const double c22 = a00_ * a11_ - a01_ * a01_;
    const Vec3 b = b_;
    point = {(c00 * b.x + c01 * b.y + c02 * b.z) / det, (c01 * b.x + c11 * b.y + c12 * b.z) / det,
             (c02 * b.x + c12 * b.y + c22 * b.z) / det};
    // sum w (n p - d)^2 = sum w d^2 - 2 p b + p A p, and A p = b. Rounding
    // leaves about 1e-6 mm^2 of the sum for planes some metres away, below
    // what a float position tells.
    const double sumSquares = std::max(0.0, offsetSquares_ - dot(point, b));
    rmsResidual = std::sqrt(sumSquares / count_);
    return true;
}

}  // namespace vekd
