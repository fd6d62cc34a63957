#include "rigid_fit.h"

#include <jama_svd.h>
#include <tnt_array2d.h>

#include <cmath>

namespace numerics {

int32_t CaptureAccumulator::add(const Vec3& a, const Vec3& b) {
    for (int i = 0; i < 3; ++i) {
        sa[i] += a[i];
        sb[i] += b[i];
        for (int j = 0; j < 3; ++j) sab[3 * i + j] += a[i] * b[j];
    }
    return ++n;
}

namespace {

Mat3 toMat3(const TNT::Array2D<double>& m) {
    Mat3 out;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) out[r + 3 * c] = m[r][c];
    return out;
}

}  // namespace

std::optional<Mat4> CaptureAccumulator::fit() const {
    const double k = 1.0 / n;
    // M = sum (b - mean b)(a - mean a)^T, i.e. M(j, i) = H[3i + j].
    TNT::Array2D<double> m(3, 3);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double h = sab[3 * i + j] - sa[i] * sb[j] * k;
            if (!std::isfinite(h)) return std::nullopt;
            m[j][i] = h;
        }
    }
    JAMA::SVD<double> svd(m);
    TNT::Array2D<double> u, v;
    svd.getU(u);
    svd.getV(v);
    Mat3 uMat = toMat3(u);
    const Mat3 vt = transpose3(toMat3(v));

    // A reflection (det = -1) flips the axis of the smallest singular value.
    const double d = det3(mul3(uMat, vt));
    for (int r = 0; r < 3; ++r) uMat[r + 6] *= d;
    const Mat3 rotation = mul3(uMat, vt);

    const Vec3 c = mul3(rotation, sa);
    return makeTransform(rotation, {(sb[0] - c[0]) * k, (sb[1] - c[1]) * k, (sb[2] - c[2]) * k});
}

}  // namespace numerics
