// Paint time of vistra's views at 800 x 600 (Mesa's software renderer
// under Xvfb): the detector view, single-camera with 512 peaks and
// multi-camera with 64 cameras; the 3D view with a scene like vekd's
// default one. Run under xvfb-run.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>

#include "app/qt_wrapper.h"
#include "scene_view/scene_widget.h"
#include "window/viewer_main_window.h"
#include "app/vistra_config.h"

namespace {

class PaintedView : public DetectorWidget {
public:
    using DetectorWidget::DetectorWidget;
    // One whole frame as a paint event runs it, finished by the renderer.
    void paintOnce() {
        paintGL();
        glFinish();
    }
};

class PaintedScene : public SceneWidget {
public:
    using SceneWidget::SceneWidget;
    void paintOnce() {
        paintGL();
        glFinish();
    }
};

// The GL surface has its context once the window system has shown it.
template <typename Widget>
void WaitForContext(Widget& widget) {
    for (int i = 0; i < 1000 && !widget.isValid(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 5);
    widget.grabFramebuffer();
}

std::ostringstream sink;
std::unique_ptr<DetectorSession> session;
std::unique_ptr<PaintedView> view;
std::unique_ptr<PaintedScene> scene;

// `total` peaks: in the single view all of camera 0 (labelled crossings);
// in the multi view spread over the cameras (half of them crossings).
void FillPeaks(int cameras, int total) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> pos(0.02f, 0.98f);
    session->cameras.assign(static_cast<std::size_t>(cameras), VEKCamera{});
    session->images.clear();
    const int perCamera = cameras > 0 ? total / cameras : 0;
    for (int c = 0; c < cameras; ++c)
        for (int i = 0; i < perCamera; ++i) {
            const bool assigned = cameras == 1 || i < perCamera / 2;
            const int id = assigned ? i / 2 : -1;
            session->images.push_back(ImageRecord{id, 1, c, i % 2, 6, 0, pos(random), 100});
        }
}

void Paint(benchmark::State& state, int cameras, bool multi, int total = VEK_MAX_IMAGES) {
    FillPeaks(cameras, total);
    view->multiView = multi;
    view->makeCurrent();
    for (auto _ : state) view->paintOnce();
    view->doneCurrent();
    state.counters["peaks"] = static_cast<double>(session->images.size());
}

void BM_EmptyView(benchmark::State& state) { Paint(state, 0, false); }
void BM_SingleCamera64Peaks(benchmark::State& state) { Paint(state, 1, false, 64); }
void BM_SingleCamera512Peaks(benchmark::State& state) { Paint(state, 1, false); }
void BM_MultiCamera64Cameras(benchmark::State& state) { Paint(state, 64, true); }
// vekd's default scene: 8 cameras on a ring 3 m out and 2.2 m up, all with
// their cones; 16 floor markers and two bodies of 6 markers each (28 seen,
// 32 in the list), 2 rigid bodies; grid and marker labels.
void FillScene() {
    session->trackers.emplace_back(vektk::kPointTracker, 1, 16);
    session->trackers.emplace_back(vektk::kPointTracker, 2, 16);
    for (int i = 0; i < 8; ++i) {
        const float a = static_cast<float>(M_PI) / 8 + static_cast<float>(M_PI) / 4 * static_cast<float>(i);
        // Turned about y so that its -z axis looks at the centre.
        const float turn = static_cast<float>(M_PI) / 2 - a;
        session->cameras.push_back(
            VEKCamera{i + 1,
                      {3 * std::cos(a), 2.2f, 3 * std::sin(a), std::cos(turn / 2), 0, std::sin(turn / 2), 0},
                      1,
                      0});
    }
    for (int i = 0; i < 32; ++i) {
        const float x = i < 16 ? -0.9f + 0.6f * static_cast<float>(i % 4) : 0.1f * static_cast<float>(i % 6);
        const float z = i < 16 ? -0.9f + 0.6f * static_cast<float>(i / 4) : i < 22 ? 0 : 0.7f;
        const float cond = i < 28 ? 40.0f : 0.0f;
        session->markers.push_back(
            MarkerRecord{vektk::MarkerId(i < 16 ? 1 : 2, i % 16), 1, x, i < 16 ? 0.0f : 1.0f, z, cond, 0});
    }
    session->rigids = {RigidRecord{3, 1, {0, 1, 0, 1, 0, 0, 0}, 1, 6},
                       RigidRecord{4, 1, {0.7f, 0.9f, -0.5f, 1, 0, 0, 0}, 1, 6}};
}

void BM_SceneView3D(benchmark::State& state) {
    FillScene();
    scene->showAllCameras = true;
    scene->markerLabels = true;
    scene->makeCurrent();
    for (auto _ : state) scene->paintOnce();
    scene->doneCurrent();
    session->cameras.clear();
    session->markers.clear();
    session->rigids.clear();
    session->trackers.clear();
}

BENCHMARK(BM_EmptyView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleCamera64Peaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleCamera512Peaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MultiCamera64Cameras)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneView3D)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QTWrapper wrapper;
    wrapper.init(VistraWrapperConfig(&argc, argv));

    session = std::make_unique<DetectorSession>(sink);
    view = std::make_unique<PaintedView>(nullptr, "view", 0, 0, 800, 600);
    view->setDetectorSession(session.get());
    view->show();
    WaitForContext(*view);
    view->initialise();
    scene = std::make_unique<PaintedScene>(nullptr, "scene", 0, 0, 800, 600);
    scene->session = session.get();
    scene->show();
    WaitForContext(*scene);
    scene->initialise();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    view.reset();
    scene.reset();
    session.reset();
    return 0;
}
