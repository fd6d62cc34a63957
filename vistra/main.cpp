// vistra: live detector peaks of a vekd server.
#include <GL/gl.h>

#include <iostream>
#include <memory>

#include <veksock.h>

#include "app/display_check.h"
#include "app/qt_wrapper.h"
#include "app/viewer_options.h"
#include "app/vistra_config.h"
#include "window/vistra_main_window.h"

int main(int argc, char** argv) {
    const QString name = QStringLiteral("Vistra Utility");
    auto options = std::make_unique<ViewerOptions>(name.toStdString(), std::cout);
    if (!options->parse(argc, argv)) return 0;
    if (!options->keyFile.empty() && vekLoadKey(options->keyFile.c_str()) <= 0) {
        char text[VEK_STRING_SIZE] = {};
        vekGetString(VEK_ERR_KEY_FILE, text);
        std::cerr << "error: " << text << std::endl;
        return 1;
    }
    if (const std::string problem = DisplayProblem(argc, argv); !problem.empty()) {
        std::cerr << "error: " << problem << std::endl;
        return 1;
    }

    auto wrapper = std::make_unique<QTWrapper>();
    wrapper->init(VistraWrapperConfig(&argc, argv));

    auto window = std::make_unique<VistraMainWindow>(nullptr, name, *options);
    ConfigureGLWidget(window->view());
    const int result = QApplication::exec();
    window.reset();
    wrapper.reset();
    options.reset();
    return result;
}
