#include "geometry_horn.h"

#include <algorithm>
#include <utility>

namespace vekd {

namespace {

// Zeroes a[p][q] by one rotation applied to both sides; v collects them.
void jacobiRotate(double a[4][4], double v[4][4], int p, int q) {
    const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
    const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
    const double c = 1.0 / std::sqrt(t * t + 1.0);
    const double s = t * c;
    for (int k = 0; k < 4; ++k) {
        const double akp = a[k][p], akq = a[k][q];
        a[k][p] = c * akp - s * akq;
        a[k][q] = s * akp + c * akq;
    }
    for (int k = 0; k < 4; ++k) {
        const double apk = a[p][k], aqk = a[q][k];
        a[p][k] = c * apk - s * aqk;
        a[q][k] = s * apk + c * aqk;
    }
    for (int k = 0; k < 4; ++k) {
        const double vkp = v[k][p], vkq = v[k][q];
        v[k][p] = c * vkp - s * vkq;
        v[k][q] = s * vkp + c * vkq;
    }
}

double offDiagonal(const double a[4][4]) {
    double sum = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) sum += a[i][j] * a[i][j];
    return sum;
}

}  // namespace

void symmetricEigen4(const double matrix[4][4], double values[4], double vectors[4][4]) {
    double a[4][4], v[4][4];
    double scale = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            a[i][j] = matrix[i][j];
            v[i][j] = i == j ? 1.0 : 0.0;
            scale += matrix[i][j] * matrix[i][j];
        }
    for (int sweep = 0; sweep < 50 && offDiagonal(a) > 1e-30 * scale; ++sweep)
        for (int p = 0; p < 4; ++p)
            for (int q = p + 1; q < 4; ++q)
                if (a[p][q] != 0.0) jacobiRotate(a, v, p, q);

    int order[4] = {0, 1, 2, 3};
    std::sort(order, order + 4, [&](int i, int j) { return a[i][i] > a[j][j]; });
    for (int k = 0; k < 4; ++k) {
        values[k] = a[order[k]][order[k]];
        for (int i = 0; i < 4; ++i) vectors[i][k] = v[i][order[k]];
    }
}

bool fitRigidHorn(const Vec3* body, const Vec3* world, int n, Pose& pose, double& rmsResidual) {
    if (n < 3) return false;
    Vec3 bodyMean, worldMean;
    for (int i = 0; i < n; ++i) {
        bodyMean = bodyMean + body[i];
        worldMean = worldMean + world[i];
    }
    bodyMean = bodyMean * (1.0 / n);
    worldMean = worldMean * (1.0 / n);

    // s[i][j] = sum of body_i * world_j over the centred points.
    double s[3][3] = {};
    double spread = 0;
    for (int k = 0; k < n; ++k) {
        const Vec3 a = body[k] - bodyMean, b = world[k] - worldMean;
        const double av[3] = {a.x, a.y, a.z}, bv[3] = {b.x, b.y, b.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) s[i][j] += av[i] * bv[j];
        spread += dot(a, a) + dot(b, b);
    }
    const double sxx = s[0][0], sxy = s[0][1], sxz = s[0][2];
    const double syx = s[1][0], syy = s[1][1], syz = s[1][2];
    const double szx = s[2][0], szy = s[2][1], szz = s[2][2];
    const double m[4][4] = {
        {sxx + syy + szz, syz - szy, szx - sxz, sxy - syx},
        {syz - szy, sxx - syy - szz, sxy + syx, szx + sxz},
        {szx - sxz, sxy + syx, -sxx + syy - szz, syz + szy},
        {sxy - syx, szx + sxz, syz + szy, -sxx - syy + szz},
    };
    double values[4], vectors[4][4];
    symmetricEigen4(m, values, vectors);
    // Points on one line leave the rotation about it free: two equal top values.
    if (spread <= 0 || values[0] - values[1] <= 1e-9 * spread) return false;

    Quat q{vectors[0][0], vectors[1][0], vectors[2][0], vectors[3][0]};
    if (q.w < 0) q = {-q.w, -q.x, -q.y, -q.z};
    pose.rotation = normalized(q);
    pose.position = worldMean - rotate(pose.rotation, bodyMean);

    double sumSquares = 0;
    for (int i = 0; i < n; ++i) {
        const Vec3 d = apply(pose, body[i]) - world[i];
        sumSquares += dot(d, d);
    }
    rmsResidual = std::sqrt(sumSquares / n);
    return true;
}

}  // namespace vekd
