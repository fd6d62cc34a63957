// Paint time of vistra's views at 800 x 600 (Mesa's software renderer
// under Xvfb): the detector view, single-camera with 512 peaks and
// multi-camera with 64 cameras; the 3D view with a scene like vekd's
// default one. Run under xvfb-run.
//
// Before timing, each case paints once and counts what it drew by colour
// against the reference paint below, so that a paint that draws less (or
// other pixels) fails instead of looking faster.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <QFontInfo>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "app/qt_wrapper.h"
#include "scene_view/scene_widget.h"
#include "window/viewer_main_window.h"
#include "app/vistra_config.h"

namespace {

template <typename Widget>
class Painted : public Widget {
public:
    using Widget::Widget;
    // One whole frame as a paint event runs it, finished by the renderer.
    void paint() {
        this->paintGL();
        glFinish();
    }
    // The timed paint, not inlined: a profiler can count it alone (e.g.
    // valgrind --toggle-collect='*paintOnce*').
    [[gnu::noinline]] void paintOnce() { paint(); }
};
using PaintedView = Painted<DetectorWidget>;
using PaintedScene = Painted<SceneWidget>;

// The GL surface has its context once the window system has shown it.
template <typename Widget>
void WaitForContext(Widget& widget) {
    for (int i = 0; i < 1000 && !widget.isValid(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 5);
    widget.grabFramebuffer();
}

// A paint by colour: peak lines are pure red and green, crossings pure
// white; labels, cones and grid lines are blends ("other"); `sum` adds up
// every channel of every pixel. `texts` counts the frame's texts.
struct Ink {
    long red = 0, green = 0, white = 0, other = 0, sum = 0, texts = 0;
    bool operator==(const Ink&) const = default;
};

Ink Count(const QImage& frame, int texts) {
    Ink ink;
    ink.texts = texts;
    const QImage image = frame.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xffffffu;
            ink.sum += qRed(c) + qGreen(c) + qBlue(c);
            if (c == 0xff0000u)
                ++ink.red;
            else if (c == 0x00ff00u)
                ++ink.green;
            else if (c == 0xffffffu)
                ++ink.white;
            else if (c != 0)
                ++ink.other;
        }
    return ink;
}

std::string Text(const Ink& ink) {
    char line[160];
    std::snprintf(line, sizeof line, "red %ld, green %ld, white %ld, other %ld, sum %ld, texts %ld", ink.red,
                  ink.green, ink.white, ink.other, ink.sum, ink.texts);
    return line;
}

// The paints of the drawing code before its vertex arrays, on Debian 12's
// Mesa llvmpipe with the labels' font below. Pixels depend on the font
// and the renderer: elsewhere only the number of texts is compared.
const char* const kReferenceFont = "DejaVu Sans 11 px";
const std::map<std::string, Ink> kReference = {
    {"empty", {0, 0, 0, 0, 0, 0}},
    {"single 64", {0, 42126, 948, 1637, 12123198, 32}},
    {"single 512", {0, 236243, 7653, 19471, 75082352, 256}},
    {"multi 64", {8779, 1688, 1154, 12608, 9737490, 64}},
    {"scene", {46, 54, 188, 148490, 15576047, 39}},
};

std::string FontKey() {
    const QFontInfo info(QFont(QStringLiteral("Helvetica"), 8));
    return info.family().toStdString() + " " + std::to_string(info.pixelSize()) + " px";
}

// False (and the benchmark skipped with the difference) when the paint
// differs from the reference.
template <typename Widget>
bool Check(benchmark::State& state, const std::string& name, Widget& widget) {
    const auto found = kReference.find(name);
    // The first paint, and the third: what a view draws once it has kept
    // what did not change (the 3D view's grid).
    for (int paint = 1; paint <= 3; ++paint) {
        const QImage frame = widget.grabFramebuffer();
        if (paint == 2) continue;
        const Ink ink = Count(frame, static_cast<int>(widget.frameTexts().size()));
        if (found == kReference.end()) {
            std::fprintf(stderr, "warning: %s has no reference paint; paint %d drew %s\n", name.c_str(),
                         paint, Text(ink).c_str());
            continue;
        }
        Ink expected = found->second;
        if (FontKey() != kReferenceFont) {
            expected = ink;
            expected.texts = found->second.texts;
        }
        if (ink == expected) continue;
        state.SkipWithError(("paint " + std::to_string(paint) + " drew " + Text(ink) +
                             "; the reference paint " + Text(expected))
                                .c_str());
        return false;
    }
    return true;
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

void Paint(benchmark::State& state, const char* name, int cameras, bool multi, int total = VEK_MAX_IMAGES) {
    FillPeaks(cameras, total);
    view->multiView = multi;
    if (!Check(state, name, *view)) return;
    view->makeCurrent();
    view->paint();  // the window's buffer may want other shaders than the read-back's
    for (auto _ : state) view->paintOnce();
    view->doneCurrent();
    state.counters["peaks"] = static_cast<double>(session->images.size());
}

void BM_EmptyView(benchmark::State& state) { Paint(state, "empty", 0, false); }
void BM_SingleCamera64Peaks(benchmark::State& state) { Paint(state, "single 64", 1, false, 64); }
void BM_SingleCamera512Peaks(benchmark::State& state) { Paint(state, "single 512", 1, false); }
void BM_MultiCamera64Cameras(benchmark::State& state) { Paint(state, "multi 64", 64, true); }
// vekd's default scene: 8 cameras on a ring 3 m out and 2.2 m up, all with
// their cones; 16 floor markers and two bodies of 6 markers each (28 seen,
// 32 in the list), 2 rigid bodies; grid and marker labels.
void FillScene() {
    session->cameras.clear();
    session->images.clear();
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
    if (Check(state, "scene", *scene)) {
        scene->makeCurrent();
        scene->paint();
        for (auto _ : state) scene->paintOnce();
        scene->doneCurrent();
    }
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

    if (FontKey() != kReferenceFont)
        std::fprintf(
            stderr,
            "warning: the labels' font is %s, the reference paints' %s: only their texts are compared\n",
            FontKey().c_str(), kReferenceFont);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    view.reset();
    scene.reset();
    session.reset();
    return 0;
}
