// vistra against a real vekd with the image stream on: does it keep up?
//   bench_vistra_live [seconds=60] [hz=960] [fps=60] [view=2d|3d]   (run under xvfb-run)
// Prints frames delivered, frames dropped by the library and by the
// server, the measured server rate, the view's frame rate, the frame ages
// the status bar showed and the CPU share of this process. hz "off" starts
// no server and leaves vistra disconnected (nothing changes on the screen).
#include <GL/gl.h>
#include <sys/resource.h>

#include <QAction>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/qt_wrapper.h"
#include "app/viewer_options.h"
#include "app/vistra_config.h"
#include "server_process.h"
#include "window/vistra_main_window.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Diagnostic(int key) {
    int value = 0;
    return vekGetIntegerv(key, &value) > 0 ? value : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const std::string hz = argc > 2 ? argv[2] : "960";
    const float fps = argc > 3 ? std::strtof(argv[3], nullptr) : 60.0f;
    const bool sceneView = argc > 4 && std::string(argv[4]) == "3d";
    const bool connect = hz != "off";

    std::unique_ptr<testsupport::ServerProcess> server;
    if (connect) {
        server = std::make_unique<testsupport::ServerProcess>(std::vector<std::string>{"--freq", hz});
        if (!server->running()) {
            std::cerr << "error: vekd did not start\n";
            return 1;
        }
        setenv("VEK_SCAN_PORT", std::to_string(server->discoveryPort()).c_str(), 1);
    }

    int qtArgc = 1;
    QTWrapper wrapper;
    wrapper.init(VistraWrapperConfig(&qtArgc, argv));

    std::ostringstream sink;
    ViewerOptions options("Vistra Utility", sink);
    options.connect = connect ? 1 : 0;
    if (connect) options.server = server->address();
    options.fps = fps;
    VistraMainWindow window(nullptr, "Vistra Utility", options);
    ConfigureGLWidget(window.view());
    if (sceneView) window.action(kSceneViewAction)->trigger();

    int firstFrame = 0;
    double cpuStart = 0;
    auto wallStart = std::chrono::steady_clock::now();
    // The Settings dock offers up to 480 Hz: once connected, ask for the
    // server's rate; measure from the next half second on.
    QTimer::singleShot(1000, [&] {
        if (connect) window.session().SetFrequency(std::strtof(hz.c_str(), nullptr));
    });
    QTimer::singleShot(1500, [&] {
        firstFrame = window.session().lastFrame;
        cpuStart = CpuSeconds();
        wallStart = std::chrono::steady_clock::now();
    });
    // The frame age label, read once a second (it changes once a second).
    std::vector<double> agesMs;
    QTimer ageReader;
    QObject::connect(&ageReader, &QTimer::timeout, [&] {
        const QString text = window.statusLabel(6)->text();
        if (text.endsWith(QStringLiteral(" ms"))) agesMs.push_back(text.chopped(3).toDouble());
    });
    QTimer::singleShot(1500, [&] { ageReader.start(1000); });
    QTimer::singleShot(1500 + seconds * 1000, [&] { QApplication::quit(); });
    QApplication::exec();

    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = CpuSeconds() - cpuStart;
    const DetectorSession& s = window.session();
    std::printf("server %s Hz, %d s, view timer %.0f fps, connected %d\n", hz.c_str(), seconds, fps,
                s.connected ? 1 : 0);
    std::printf("frames delivered: %d (%.1f per second)\n", s.lastFrame - firstFrame,
                (s.lastFrame - firstFrame) / wall);
    std::printf("dropped by the library: %d, by the server: %d\n", Diagnostic(VEK_LIB_DROPPED),
                Diagnostic(VEK_SERVER_DROPPED));
    const FrameRateTexts& rates = sceneView ? window.sceneView()->rateTexts() : window.view()->rateTexts();
    std::printf("measured server rate: %.1f Hz, %s view: %s fps, view load %s %%\n", window.measuredRate(),
                sceneView ? "3D" : "detector", rates.rate.toStdString().c_str(),
                rates.load.toStdString().c_str());
    std::sort(agesMs.begin(), agesMs.end());
    if (!agesMs.empty())
        std::printf("frame age shown: median %.1f ms, lowest %.1f ms, highest %.1f ms (%zu readings)\n",
                    agesMs[agesMs.size() / 2], agesMs.front(), agesMs.back(), agesMs.size());
    std::printf("vistra CPU: %.1f %% of one core\n", 100.0 * cpu / wall);
    return s.connected == connect ? 0 : 1;
}
