// Runs the vistra window against a server and saves a picture of it, of
// its data dialog with the plot of three rows, of its 3D view, or of the
// window with the tracker bar's "Markers" page and three markers selected:
//   vistra_screenshot SERVER OUT.png [single|multi|data|3d|markers] [wait-ms]
#include <GL/gl.h>

#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/qt_wrapper.h"
#include "app/viewer_options.h"
#include "app/vistra_config.h"
#include "data/data_dialog.h"
#include "data/my_table.h"
#include "trackers/tracker_bar.h"
#include "window/vistra_main_window.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: vistra_screenshot SERVER OUT.png [single|multi|data|3d|markers] [wait-ms]\n";
        return 2;
    }
    const std::string server = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    const std::string mode = argc > 3 ? argv[3] : "single";
    const int waitMs = argc > 4 ? std::atoi(argv[4]) : 2000;

    QTWrapper wrapper;
    wrapper.init(VistraWrapperConfig(&argc, argv));

    ViewerOptions options("Vistra Utility", std::cout);
    options.connect = 1;
    options.server = server;
    VistraMainWindow window(nullptr, QStringLiteral("Vistra Utility"), options);
    ConfigureGLWidget(window.view());
    if (mode == "multi") window.sl_MultiView();
    if (mode == "3d") {
        // Seen from above and aside, markers drawn larger, labels and
        // camera stands on; once connected (connecting clears the
        // selection), the wand's markers and camera 2 (with its view cone)
        // selected.
        window.sl_SceneView();
        SceneWidget* scene = window.sceneView();
        scene->scale = 5;
        scene->markerLabels = true;
        scene->showCameraStands = true;
        scene->camera.rotation = {28, -35, 0};
        scene->camera.r = 7.5f;
        QTimer::singleShot(waitMs / 2, [&] {
            window.session().selectedCameras.Select(1);
            for (int index = 0; index < 6; ++index)
                window.session().selectedMarkers.Select(vektk::MarkerId(0, index));
        });
    }
    DataDialog* data = window.dataDialog();
    if (mode == "data") {
        // Positions and amplitudes of both detectors; three rows plotted.
        window.sl_ShowDataDialog();
        data->resize(560, 540);
        data->sl_Pos();
        data->sl_Amp();
        for (int row : {4, 8, 11})
            data->table()->selectionModel()->select(data->table()->model()->index(row, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    if (mode == "markers") {
        window.trackerBar()->tabs()->setCurrentIndex(1);
        // Selected once connected (connecting clears the selection): one
        // marker seen, one never seen.
        QTimer::singleShot(waitMs / 2, [&] {
            for (int index : {2, 40}) window.session().selectedMarkers.Select(vektk::MarkerId(0, index));
        });
    }

    int status = 1;
    QTimer::singleShot(waitMs, [&] {
        // The window with the view's own framebuffer (texts included) on
        // top, or the dialog.
        QPixmap picture = mode == "data" ? data->grab() : window.grab();
        if (mode != "data") {
            QPainter painter(&picture);
            if (mode == "3d")
                painter.drawImage(window.sceneView()->mapTo(&window, QPoint(0, 0)),
                                  window.sceneView()->grabFramebuffer());
            else
                painter.drawImage(window.view()->mapTo(&window, QPoint(0, 0)),
                                  window.view()->grabFramebuffer());
        }
        if (window.session().connected && picture.save(out)) status = 0;
        if (status != 0) std::cerr << "error: no picture of a connected window\n";
        window.sl_Quit();
    });
    QApplication::exec();
    return status;
}
