#include "geometry.h"

#include "regular_file.h"
#include "text_scan.h"

#include <cmath>
#include <cstring>
#include <sstream>

namespace numerics {

Vec3 mul3(const Mat3& a, const Vec3& v) {
    Vec3 out;
    for (int i = 0; i < 3; ++i) out[i] = a[i] * v[0] + a[i + 3] * v[1] + a[i + 6] * v[2];
    return out;
}

Mat3 mul3(const Mat3& a, const Mat3& b) {
    Mat3 c;
    for (int col = 0; col < 3; ++col) {
        const Vec3 product = mul3(a, Vec3{b[3 * col], b[3 * col + 1], b[3 * col + 2]});
        for (int row = 0; row < 3; ++row) c[row + 3 * col] = product[row];
    }
    return c;
}

Mat3 transpose3(const Mat3& a) {
    Mat3 t;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) t[c + 3 * r] = a[r + 3 * c];
    return t;
}

double det3(const Mat3& a) {
    return a[0] * a[4] * a[8] + a[3] * a[7] * a[2] + a[6] * a[1] * a[5] - a[6] * a[4] * a[2] -
           a[3] * a[1] * a[8] - a[0] * a[7] * a[5];
}

Vec3 transformPoint(const Mat4& t, const Vec3& p) {
    Vec3 out;
    for (int i = 0; i < 3; ++i) out[i] = t[i] * p[0] + t[i + 4] * p[1] + t[i + 8] * p[2] + t[i + 12];
    return out;
}

Mat4 makeTransform(const Mat3& rotation, const Vec3& translation) {
    Mat4 t = kIdentity4;
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) t[r + 4 * c] = rotation[r + 3 * c];
    for (int r = 0; r < 3; ++r) t[12 + r] = translation[r];
    return t;
}

Vec3f negate(const Vec3f& v) { return {-v[0], -v[1], -v[2]}; }

Vec3f add(const Vec3f& a, const Vec3f& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

Vec3f scale(const Vec3f& v, float s) { return {v[0] * s, v[1] * s, v[2] * s}; }

bool parseOrientationLine(const char* text, std::size_t length, float m[16]) {
    TextScanner scan(text, length);
    float values[16];
    for (float& v : values) {
        if (!scan.readFloat(v) || !std::isfinite(v)) return false;
    }
    std::memcpy(m, values, sizeof values);
    return true;
}

bool readOrientationFile(const std::string& path, float m[16]) {
    // Only a regular file: a FIFO is refused, never waited on.
    std::string text, why;
    const vekwire::UniqueFd file = vekwire::openRegularFile(path, why);
    if (!file.valid() || !vekwire::readAll(file.get(), text)) return false;
    std::istringstream in(text);
    bool found = false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() <= kOrientationLineMax && parseOrientationLine(line.data(), line.size(), m))
            found = true;
    }
    return found;
}

}  // namespace numerics
