#include "world_orientation.h"

namespace glview {

std::array<float, 16>& worldOrientation() {
    static std::array<float, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return matrix;
}

}  // namespace glview
