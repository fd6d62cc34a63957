#include "sim_triangulation.h"

#include <cmath>

namespace vekd {

bool intersectPlanes(const Plane* planes, int n, Vec3& point, double& rmsResidual) {
    if (n < 3) return false;
    // Normal equations A p = b with A = sum w n n^T, b = sum w n d (w, the
    // plane's weight, makes every plane count by distance).
    double a00 = 0, a01 = 0, a02 = 0, a11 = 0, a12 = 0, a22 = 0;
    Vec3 b;
    for (int i = 0; i < n; ++i) {
        const Vec3 v = planes[i].normal;
        const Vec3 wv = v * planes[i].weight;
        a00 += wv.x * v.x;
        a01 += wv.x * v.y;
        a02 += wv.x * v.z;
        a11 += wv.y * v.y;
        a12 += wv.y * v.z;
        a22 += wv.z * v.z;
        b = b + wv * planes[i].offset;
    }
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
    point = {(c00 * b.x + c01 * b.y + c02 * b.z) / det, (c01 * b.x + c11 * b.y + c12 * b.z) / det,
             (c02 * b.x + c12 * b.y + c22 * b.z) / det};
    double sumSquares = 0;
    for (int i = 0; i < n; ++i) {
        const double d = dot(planes[i].normal, point) - planes[i].offset;
        sumSquares += d * d * planes[i].weight;
    }
    rmsResidual = std::sqrt(sumSquares / n);
    return true;
}

}  // namespace vekd
