// Pose algebra on single-precision poses: x, y, z, then a unit quaternion
// with its scalar first.
#include <cmath>

#include "veksock.h"

namespace {

void quatMultiply(const float a[4], const float b[4], float out[4]) {
    const float w = a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3];
    const float x = a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2];
    const float y = a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1];
    const float z = a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0];
    out[0] = w;
    out[1] = x;
    out[2] = y;
    out[3] = z;
}

// out = q v q* for a unit quaternion q.
void quatRotate(const float q[4], const float v[3], float out[3]) {
    float m[16];
    const float pose[7] = {0, 0, 0, q[0], q[1], q[2], q[3]};
    convert_pm(pose, m);
    mult_mv3_v3(m, v, out);
}

}  // namespace

extern "C" {

void convert_pm(const float p[7], float m[16]) {
    const float w = p[3], x = p[4], y = p[5], z = p[6];
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * (x * y + w * z);
    m[2] = 2 * (x * z - w * y);
    m[3] = 0;
    m[4] = 2 * (x * y - w * z);
    m[5] = 1 - 2 * (x * x + z * z);
    m[6] = 2 * (y * z + w * x);
    m[7] = 0;
    m[8] = 2 * (x * z + w * y);
    m[9] = 2 * (y * z - w * x);
    m[10] = 1 - 2 * (x * x + y * y);
    m[11] = 0;
    m[12] = p[0];
    m[13] = p[1];
    m[14] = p[2];
    m[15] = 1;
}

void mult_pp(const float a[7], const float b[7], float out[7]) {
    float t[3];
    quatRotate(a + 3, b, t);
    float q[4];
    quatMultiply(a + 3, b + 3, q);
    for (int i = 0; i < 3; ++i) out[i] = t[i] + a[i];
    for (int i = 0; i < 4; ++i) out[3 + i] = q[i];
}

void invert_p(float p[7]) {
    const float conj[4] = {p[3], -p[4], -p[5], -p[6]};
    const float negT[3] = {-p[0], -p[1], -p[2]};
    float t[3];
    quatRotate(conj, negT, t);
    for (int i = 0; i < 3; ++i) p[i] = t[i];
    for (int i = 0; i < 4; ++i) p[3 + i] = conj[i];
}

void normalize_p(float p[7]) {
    const float n = std::sqrt(p[3] * p[3] + p[4] * p[4] + p[5] * p[5] + p[6] * p[6]);
    if (!(n > 0) || !std::isfinite(n)) {  // no rotation to keep: take none
        p[3] = 1;
        p[4] = p[5] = p[6] = 0;
        return;
    }
    for (int i = 3; i < 7; ++i) p[i] /= n;
}

void mult_mv3_v3(const float m[16], const float v[3], float out[3]) {
    const float x = v[0], y = v[1], z = v[2];
    out[0] = m[0] * x + m[4] * y + m[8] * z + m[12];
    out[1] = m[1] * x + m[5] * y + m[9] * z + m[13];
    out[2] = m[2] * x + m[6] * y + m[10] * z + m[14];
}

}  // extern "C"
