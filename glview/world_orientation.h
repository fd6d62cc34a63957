// The process-wide orientation matrix (column-major) that 3D views apply
// to world-fixed drawings; identity until the ".orientation" file is read.
#pragma once

#include <array>

namespace glview {

std::array<float, 16>& worldOrientation();

}  // namespace glview
