// vekd's per-frame work: simulate the default scene (peaks, reconstruction,
// rigid fits) with point trackers on every LED and the two bodies as rigid
// trackers; the maximal scene (64 cameras, 585 LEDs, every camera sees
// every LED) with a point tracker on every LED; and the default scene's
// frames played back from a take.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "replay.h"
#include "sim_led_readings.h"
#include "simulated_take.h"
#include "simulator.h"

static vekd::TrackerTable defaultTrackers(const vekd::Scene& scene) {
    vekd::TrackerTable trackers;
    trackers.create(0, VEK_CREATE, VEK_POINT_TRACKER);
    for (int led = 0; led < 32; ++led) trackers.setMarkerLed(led, VEK_MARKER_LED, led);
    trackers.operate(0, VEK_ON);
    for (int body = 0; body < 2; ++body) {
        const int id = 1 + body;
        trackers.create(id, VEK_CREATE, VEK_RIGID_TRACKER);
        int index = 0;
        for (const auto& led : scene.leds) {
            if (led.body != body) continue;
            const int m = vek_marker_id(id, index++);
            trackers.setMarkerLed(m, VEK_MARKER_LED, led.id);
            const float p[3] = {static_cast<float>(led.position.x), static_cast<float>(led.position.y),
                                static_cast<float>(led.position.z)};
            trackers.setMarkerPosition(m, VEK_MARKER_POSITION, p);
        }
        trackers.operate(id, VEK_ON);
    }
    return trackers;
}

// One simulated frame after another at 960 Hz.
static void GenerateFrames(benchmark::State& state, const vekd::Scene& scene,
                           const vekd::TrackerTable& trackers) {
    vekd::Simulator sim(scene, 1);
    vekd::FrameData frame;
    int32_t n = 0;
    for (auto _ : state) {
        ++n;
        sim.generate(n, n / 960.0, trackers, frame);
        benchmark::DoNotOptimize(frame.markers.data());
    }
}

static void BM_GenerateDefaultScene(benchmark::State& state) {
    const vekd::Scene scene = vekd::defaultScene();
    GenerateFrames(state, scene, defaultTrackers(scene));
}
BENCHMARK(BM_GenerateDefaultScene);

static void BM_GenerateMaxScene(benchmark::State& state) {
    vekd::Scene scene;
    std::string error;
    if (!vekd::loadScene(VEKD_MAX_SCENE, scene, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    vekd::TrackerTable trackers;
    trackers.create(0, VEK_CREATE, VEK_POINT_TRACKER);
    for (size_t i = 0; i < scene.leds.size(); ++i)
        trackers.setMarkerLed(static_cast<int>(i), VEK_MARKER_LED, scene.leds[i].id);
    trackers.operate(0, VEK_ON);
    GenerateFrames(state, scene, trackers);
}
BENCHMARK(BM_GenerateMaxScene);

// The same with each code of the readings the processor runs (0 baseline,
// 1 AVX2, 2 AVX-512): what the frame costs on processors without them.
static void BM_GenerateMaxSceneCode(benchmark::State& state) {
    const auto code = static_cast<vekd::LedReadings::Code>(state.range(0));
    if (!vekd::LedReadings::runs(code)) {
        state.SkipWithError("the processor does not run this code");
        return;
    }
    vekd::LedReadings::use(code);
    BM_GenerateMaxScene(state);
    vekd::LedReadings::use(vekd::LedReadings::bestCode());
}
BENCHMARK(BM_GenerateMaxSceneCode)->DenseRange(0, 2);

// One frame of a take of the default scene (960 frames, peaks with LED ids,
// looping): read, checked, peaks renamed and markers rebuilt.
static void BM_ReplayDefaultScene(benchmark::State& state) {
    const vekd::Scene scene = vekd::defaultScene();
    const vekd::TrackerTable trackers = defaultTrackers(scene);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_replay_" + std::to_string(getpid()) + ".vektake"))
            .string();
    std::ofstream(path, std::ios::binary) << testsupport::simulatedTake(scene, 1, trackers, 960, 960, true);
    std::string error, note;
    auto replay = vekd::ReplayFrames::open(path, true, error, note);
    std::filesystem::remove(path);  // the open file stays readable
    if (!replay) {
        state.SkipWithError(error.c_str());
        return;
    }
    vekd::FrameData frame;
    int32_t n = 0;
    for (auto _ : state) {
        replay->generate(++n, 0, trackers, frame);
        benchmark::DoNotOptimize(frame.markers.data());
    }
}
BENCHMARK(BM_ReplayDefaultScene);

BENCHMARK_MAIN();
