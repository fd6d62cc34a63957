#include "gl_matrix.h"

#include <cmath>
#include <numbers>

namespace glview {

Matrix4 identityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[row + 4 * k] * b[k + 4 * c];
            r[row + 4 * c] = s;
        }
    return r;
}

Matrix4 perspectiveMatrix(double fovDegrees, double aspect, double zNear, double zFar) {
    const double f = 1.0 / std::tan(fovDegrees * std::numbers::pi / 360.0);
    Matrix4 m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
    return m;
}

Matrix4 orthoMatrix(double l, double r, double b, double t, double n, double f) {
    Matrix4 m = identityMatrix();
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    return m;
}

static Vec3d normalized(const Vec3d& v) {
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (len == 0) return v;
    return {v[0] / len, v[1] / len, v[2] / len};
}

static Vec3d cross(const Vec3d& a, const Vec3d& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Matrix4 lookAtMatrix(const Vec3d& eye, const Vec3d& center, const Vec3d& up) {
    const Vec3d f = normalized({center[0] - eye[0], center[1] - eye[1], center[2] - eye[2]});
    const Vec3d s = normalized(cross(f, up));
    const Vec3d u = cross(s, f);
    Matrix4 m = identityMatrix();
    for (int i = 0; i < 3; ++i) {
        m[4 * i] = s[i];
        m[4 * i + 1] = u[i];
        m[4 * i + 2] = -f[i];
    }
    m[12] = -(s[0] * eye[0] + s[1] * eye[1] + s[2] * eye[2]);
    m[13] = -(u[0] * eye[0] + u[1] * eye[1] + u[2] * eye[2]);
    m[14] = f[0] * eye[0] + f[1] * eye[1] + f[2] * eye[2];
    return m;
}

// Determinant of the 3x3 minor of m without row r and column c.
static double minor3(const Matrix4& m, int r, int c) {
    int rows[3], cols[3];
    for (int i = 0, k = 0; i < 4; ++i)
        if (i != r) rows[k++] = i;
    for (int i = 0, k = 0; i < 4; ++i)
        if (i != c) cols[k++] = i;
    auto at = [&](int i, int j) { return m[rows[i] + 4 * cols[j]]; };
    return at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1)) -
           at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0)) +
           at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
}

bool invertMatrix(const Matrix4& m, Matrix4& inverse) {
    Matrix4 cof{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) cof[r + 4 * c] = ((r + c) % 2 ? -1 : 1) * minor3(m, r, c);
    double det = 0;
    for (int c = 0; c < 4; ++c) det += m[4 * c] * cof[4 * c];
    if (det == 0) return false;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) inverse[r + 4 * c] = cof[c + 4 * r] / det;
    return true;
}

bool unproject(double x, double y, double depth, const Matrix4& modelview, const Matrix4& projection,
               const std::array<int, 4>& viewport, Vec3d& out) {
    Matrix4 inverse;
    if (viewport[2] == 0 || viewport[3] == 0) return false;
    if (!invertMatrix(multiply(projection, modelview), inverse)) return false;
    const double in[4] = {(x - viewport[0]) / viewport[2] * 2 - 1, (y - viewport[1]) / viewport[3] * 2 - 1,
                          depth * 2 - 1, 1};
    double o[4];
    for (int r = 0; r < 4; ++r) {
        o[r] = 0;
        for (int k = 0; k < 4; ++k) o[r] += inverse[r + 4 * k] * in[k];
    }
    if (o[3] == 0) return false;
    out = {o[0] / o[3], o[1] / o[3], o[2] / o[3]};
    return true;
}

}  // namespace glview
