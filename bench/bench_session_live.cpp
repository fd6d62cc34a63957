// Client cost of one frame of a real vekd's default scene through the
// session: the thread CPU time of the Update (Poll, assembly, averages,
// filters) that delivers a frame; polls that find nothing are not counted.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "server_process.h"
#include "view_session.h"

namespace {

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The wand (LEDs 0-5) as a rigid body, every other LED of the scene as
// points; markers, rigids, peaks and detectors streaming.
void AddDefaultSceneTrackers(vektk::VEK& session) {
    const std::vector<vektk::MarkerDef> wand{{0, 0, {-70, -45, 0}}, {1, 1, {70, -45, 0}},
                                             {2, 2, {75, 50, 15}},  {3, 3, {-60, 55, 25}},
                                             {4, 4, {0, 0, 70}},    {5, 5, {15, -80, 40}}};
    session.trackers.emplace_back(vektk::kRigidTracker, 1, wand, 1.0f);
    std::vector<int> leds;
    for (int led = 8; led <= 13; ++led) leds.push_back(led);
    for (int led = 16; led <= 31; ++led) leds.push_back(led);
    session.trackers.emplace_back(vektk::kPointTracker, 2, leds);
}

void BM_DefaultSceneFrame(benchmark::State& state) {
    testsupport::ServerProcess server({"--freq", "480"});
    vektk::ViewSession session(1.0f);
    session.filtering = state.range(0) != 0;
    AddDefaultSceneTrackers(session);
    if (session.ConnectView(vektk::ConnectionSettings(server.address(), 480.0f), 1, 1) < 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    vekSetInteger(VEK_IMAGES, VEK_ON);
    vekSetInteger(VEK_DETECTORS, VEK_ON);
    size_t markers = 0, peaks = 0;
    for (auto _ : state) {
        for (;;) {
            const double start = ThreadCpuSeconds();
            const int r = session.Update();
            const double used = ThreadCpuSeconds() - start;
            if (r < 0) {
                state.SkipWithError("session ended");
                return;
            }
            if (r == 1) {
                state.SetIterationTime(used);
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        markers = session.markers.size();
        peaks = session.images.size();
    }
    state.counters["markers"] = static_cast<double>(markers);
    state.counters["peaks"] = static_cast<double>(peaks);
    session.Done();
}
BENCHMARK(BM_DefaultSceneFrame)
    ->ArgName("filtering")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(2400)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
