// Runs the vistra window against a server and saves a picture of it:
//   vistra_screenshot SERVER OUT.png [single|multi] [wait-ms]
#include <GL/gl.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/qt_wrapper.h"
#include "viewer_options.h"
#include "app/vistra_config.h"
#include "window/vistra_main_window.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: vistra_screenshot SERVER OUT.png [single|multi] [wait-ms]\n";
        return 2;
    }
    const std::string server = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    const bool multi = argc > 3 && std::string(argv[3]) == "multi";
    const int waitMs = argc > 4 ? std::atoi(argv[4]) : 2000;

    QTWrapper wrapper;
    wrapper.init(VistraWrapperConfig(&argc, argv));

    glview::ViewerOptions options("Vistra Utility", std::cout);
    options.connect = 1;
    options.server = server;
    VistraMainWindow window(nullptr, QStringLiteral("Vistra Utility"), options);
    ConfigureGLWidget(window.view());
    // A point tracker on the LEDs of the two moving bodies, so that their
    // peaks are identified (green, labelled) as the tracker bar would do.
    window.session().trackers.emplace_back(vektk::kPointTracker, 1, 14);
    if (multi) window.sl_MultiView();

    int status = 1;
    QTimer::singleShot(waitMs, [&] {
        // The window with the view's own framebuffer (texts included) on top.
        QPixmap picture = window.grab();
        QPainter painter(&picture);
        painter.drawImage(window.view()->mapTo(&window, QPoint(0, 0)), window.view()->grabFramebuffer());
        painter.end();
        if (window.session().connected && picture.save(out)) status = 0;
        if (status != 0) std::cerr << "error: no picture of a connected window\n";
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
