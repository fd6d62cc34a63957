// Paint time of vistra's detector view at 800 x 600 (Mesa's software
// renderer under Xvfb): the single-camera view with 512 peaks and the
// multi-camera view with 64 cameras. Run under xvfb-run.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <memory>
#include <random>
#include <sstream>

#include "app/qt_wrapper.h"
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

std::ostringstream sink;
std::unique_ptr<DetectorSession> session;
std::unique_ptr<PaintedView> view;

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

void Paint(benchmark::State& state, int cameras, bool multi, int total = 512) {
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
BENCHMARK(BM_EmptyView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleCamera64Peaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleCamera512Peaks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MultiCamera64Cameras)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QTWrapper wrapper;
    wrapper.init(VistraWrapperConfig(&argc, argv));

    session = std::make_unique<DetectorSession>(sink);
    view = std::make_unique<PaintedView>(nullptr, "view", 0, 0, 800, 600);
    view->setDetectorSession(session.get());
    view->show();
    view->grabFramebuffer();  // context and first frame
    view->initialise();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    view.reset();
    session.reset();
    return 0;
}
