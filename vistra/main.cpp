// vistra: live detector peaks of a vekd server.
#include <GL/gl.h>

#include <iostream>
#include <memory>

#include "qt_wrapper.h"
#include "viewer_options.h"
#include "vistra_main_window.h"

namespace {

constexpr int kDisableCaps[] = {GL_ALPHA_TEST, GL_BLEND,      GL_DITHER,     GL_FOG,
                                GL_LOGIC_OP,   GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D, 0};
constexpr int kEnableCaps[] = {GL_DEPTH_TEST, GL_NORMALIZE, 0};

}  // namespace

int main(int argc, char** argv) {
    const QString name = QStringLiteral("Vistra Utility");
    auto options = std::make_unique<glview::ViewerOptions>(name.toStdString(), std::cout);
    if (!options->parse(argc, argv)) return 0;

    auto wrapper = std::make_unique<QTWrapper>();
    QTWrapperConfig config;
    config.glOptions = kGLDoubleBuffer | kGLDepthBuffer | kGLRgba;
    config.clearMask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
    config.disableCaps = kDisableCaps;
    config.enableCaps = kEnableCaps;
    config.argc = &argc;
    config.argv = argv;
    config.style = "windowsxp";
    wrapper->init(config);

    auto window = std::make_unique<VistraMainWindow>(nullptr, name, *options);
    ConfigureGLWidget(window->view());
    const int result = QApplication::exec();
    window.reset();
    wrapper.reset();
    options.reset();
    return result;
}
