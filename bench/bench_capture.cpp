// The capture step per frame (accumulate, fit, fold in) for a moving body.
#include <capture.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kFrames = 64;

std::vector<std::vector<MarkerRecord>> movingBodyFrames(int markers) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> spread(-100, 100);
    std::normal_distribution<float> noise(0, 0.05f);
    std::vector<numerics::Vec3f> body(static_cast<std::size_t>(markers));
    for (auto& p : body) p = {spread(rng), spread(rng), spread(rng)};

    std::vector<std::vector<MarkerRecord>> frames(kFrames);
    for (int f = 0; f < kFrames; ++f) {
        const float a = 0.05f * f, c = std::cos(a), s = std::sin(a);
        for (int i = 0; i < markers; ++i) {
            const auto& p = body[static_cast<std::size_t>(i)];
            frames[f].push_back({i, f, c * p[0] - s * p[1] + 10.0f * f + noise(rng),
                                 s * p[0] + c * p[1] + noise(rng), p[2] + 500 + noise(rng), 1.0f, 0});
        }
    }
    return frames;
}

void BM_CaptureStep(benchmark::State& state) {
    const int markers = static_cast<int>(state.range(0));
    const auto frames = movingBodyFrames(markers);
    numerics::CaptureState capture;
    capture.addMarkers(static_cast<std::size_t>(markers));
    capture.step(frames[0].data(), frames[0].size());
    std::size_t f = 1;
    for (auto _ : state) {
        const auto& frame = frames[f];
        benchmark::DoNotOptimize(capture.step(frame.data(), frame.size()));
        f = (f + 1) % kFrames;
    }
    state.SetItemsProcessed(state.iterations() * markers);
}

}  // namespace

BENCHMARK(BM_CaptureStep)->Arg(6)->Arg(64)->Arg(VEK_MAX_MARKERS);

BENCHMARK_MAIN();
