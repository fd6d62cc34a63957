#include "sim_triangulation.h"

#include <algorithm>
#include <cmath>

namespace vekd {

bool PlaneSums::solve(Vec3& point, double& rmsResidual) const {
    if (count_ < 3) return false;
    const double a00 = a00_[0] + a00_[1], a01 = a01_[0] + a01_[1], a02 = a02_[0] + a02_[1];
    const double a11 = a11_[0] + a11_[1], a12 = a12_[0] + a12_[1], a22 = a22_[0] + a22_[1];
    const double c00 = a11 * a22 - a12 * a12;
    const double c01 = a02 * a12 - a01 * a22;
    const double c02 = a01 * a12 - a02 * a11;
    const double det = a00 * c00 + a01 * c01 + a02 * c02;
    const double trace = a00 + a11 + a22;
    // Rays closer than about a tenth of a degree leave depth undetermined.
    if (!(det > 1e-6 * trace * trace * trace / 27)) return false;
    const double c11 = a00 * a22 - a02 * a02;
    const double c12 = a01 * a02 - a00 * a12;
    const double c22 = a00 * a11 - a01 * a01;
    const Vec3 b{bx_[0] + bx_[1], by_[0] + by_[1], bz_[0] + bz_[1]};
    point = {(c00 * b.x + c01 * b.y + c02 * b.z) / det, (c01 * b.x + c11 * b.y + c12 * b.z) / det,
             (c02 * b.x + c12 * b.y + c22 * b.z) / det};
    // sum w (n p - d)^2 = sum w d^2 - 2 p b + p A p, and A p = b. Rounding
    // leaves about 1e-6 mm^2 of the sum for planes some metres away, below
    // what a float position tells.
    const double sumSquares = std::max(0.0, offsetSquares_[0] + offsetSquares_[1] - dot(point, b));
    rmsResidual = std::sqrt(sumSquares / count_);
    return true;
}

}  // namespace vekd
