#include "editor_transform.h"

#include <cmath>

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

using Pose = std::array<float, 7>;

Pose Turn(float degrees, int axis) {
    const double half = degrees * kRadiansPerDegree / 2;
    Pose p{0, 0, 0, static_cast<float>(std::cos(half)), 0, 0, 0};
    p[static_cast<std::size_t>(4 + axis)] = static_cast<float>(std::sin(half));
    return p;
}

// a after b, each normalised before and the product after.
Pose Compose(Pose a, Pose b) {
    normalize_p(a.data());
    normalize_p(b.data());
    Pose out;
    mult_pp(a.data(), b.data(), out.data());
    normalize_p(out.data());
    return out;
}

}  // namespace

Matrix16 EditorTransform(const std::array<float, 3>& position, const std::array<float, 3>& degrees) {
    const Pose move{position[0], position[1], position[2], 1, 0, 0, 0};
    const Pose p =
        Compose(Turn(degrees[2], 2), Compose(Turn(degrees[1], 1), Compose(Turn(degrees[0], 0), move)));
    Matrix16 m;
    convert_pm(p.data(), m.data());
    return m;
}

void TransformMarkers(const std::vector<MarkerRecord>& markers, const Matrix16& m,
                      std::vector<MarkerRecord>& displayed) {
    displayed.resize(markers.size());
    for (std::size_t j = 0; j < markers.size(); ++j) {
        const float position[3] = {markers[j].x, markers[j].y, markers[j].z};
        float moved[3];
        mult_mv3_v3(m.data(), position, moved);
        displayed[j].id = markers[j].frame;
        displayed[j].x = moved[0];
        displayed[j].y = moved[1];
        displayed[j].z = moved[2];
        displayed[j].cond = 1.0f;
    }
}
