#include "app/vistra_config.h"

#include <GL/gl.h>

namespace {

constexpr int kDisableCaps[] = {GL_ALPHA_TEST,   GL_BLEND,      GL_DITHER,     GL_FOG, GL_LOGIC_OP,
                                GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D, 0};
constexpr int kEnableCaps[] = {GL_DEPTH_TEST, GL_NORMALIZE, 0};

}  // namespace

QTWrapperConfig VistraWrapperConfig(int* argc, char** argv) {
    QTWrapperConfig config;
    config.glOptions = kGLDoubleBuffer | kGLDepthBuffer | kGLRgba;
    config.clearMask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
    config.disableCaps = kDisableCaps;
    config.enableCaps = kEnableCaps;
    config.argc = argc;
    config.argv = argv;
    config.style = "windowsxp";
    return config;
}
