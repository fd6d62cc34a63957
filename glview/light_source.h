// One fixed-function GL light.
#pragma once

#include <array>

namespace glview {

// Kind bits.
constexpr int kAmbientLight = 1;
constexpr int kDiffuseLight = 2;
constexpr int kSpecularLight = 4;

struct LightSource {
    int id = 0;  // GL_LIGHT0 + n
    int kind = 0;
    std::array<float, 4> position{0, 0, 0, 0};
    std::array<float, 4> ambient{0, 0, 0, 1};
    std::array<float, 4> diffuse{0, 0, 0, 1};
    std::array<float, 4> specular{0, 0, 0, 1};

    // Sets the light's colours, colour material and enable state in GL.
    void apply() const;
    void applyPosition() const;
};

}  // namespace glview
