// Client cost of one maximal frame through the session: Poll and frame
// assembly, then the view session's update with the marker filters, fed by
// the scripted stand-in of the library (no network, no waiting).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fake_veksock.h"
#include "view_session.h"

namespace {

constexpr int kMarkers = VEK_MAX_MARKERS;
constexpr int kRigids = VEK_MAX_RIGIDS;
constexpr int kPeaks = VEK_MAX_IMAGES;
constexpr int kCameras = VEK_MAX_CAMERAS;
constexpr int kDetectors = 2 * kCameras;

// One frame of every stream, renumbered for each new frame.
struct MaximalFrame {
    MaximalFrame() {
        for (int i = 0; i < kMarkers; ++i) {
            const float a = 0.01f * static_cast<float>(i);
            markers.push_back(fakevek::Marker(vek_marker_id(1, i), 0, 1000 * std::cos(a), 1000 * std::sin(a),
                                              900 + static_cast<float>(i % 50), 2.0f));
        }
        rigids = fakevek::Rigids(kRigids, 0);
        images = fakevek::Images(kPeaks, 0);
        detectors = fakevek::Detectors(kDetectors, 0);
        cameras.resize(kCameras);
        for (int i = 0; i < kCameras; ++i) cameras[i] = VEKCamera{i, {0, 0, 0, 1, 0, 0, 0}, 1, 0};
    }

    template <typename Record>
    static int Copy(std::vector<Record>& records, int frame, void* out, int max) {
        for (Record& r : records) r.frame = frame;
        const int n = std::min(static_cast<int>(records.size()), max);
        std::memcpy(out, records.data(), sizeof(Record) * static_cast<size_t>(n));
        return n;
    }

    int Fetch(int stream, void* out, int max) {
        switch (stream) {
            case VEK_MARKER_STREAM:
                // A few markers come and go, so that gaps get filled.
                for (int i = 0; i < kMarkers; ++i) {
                    markers[static_cast<size_t>(i)].cond = (frame + i) % 40 == 0 ? 0.0f : 2.0f;
                }
                return Copy(markers, frame, out, max);
            case VEK_RIGID_STREAM:
                return Copy(rigids, frame, out, max);
            case VEK_IMAGE_STREAM:
                return Copy(images, frame, out, max);
            default:
                return Copy(detectors, frame, out, max);
        }
    }

    int frame = 0;
    std::vector<MarkerRecord> markers;
    std::vector<RigidRecord> rigids;
    std::vector<ImageRecord> images;
    std::vector<DetectorRecord> detectors;
    std::vector<VEKCamera> cameras;
};

// Connects `session` to the stand-in serving maximal frames at 480 Hz.
void ServeMaximalFrames(vektk::VEK& session, MaximalFrame& source) {
    fakevek::ResetFake();
    auto& fake = fakevek::fake();
    fake.logCalls = false;
    fakevek::EnableStreams(1 | 2 | 4 | 8);
    fakevek::SetFrame(0);
    fake.floats[VEK_FREQUENCY] = 480.0f;
    fake.cameras = source.cameras;
    fake.source = [&source](int stream, void* out, int max) { return source.Fetch(stream, out, max); };
    session.Connect(vektk::ConnectionSettings("", 480.0f), true, false);
}

template <typename Step>
void RunFrames(benchmark::State& state, MaximalFrame& source, Step step) {
    for (auto _ : state) {
        fakevek::SetFrame(++source.frame);
        if (step() != 1) {
            state.SkipWithError("no frame assembled");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PollAndAssemble(benchmark::State& state) {
    MaximalFrame source;
    vektk::VEK session(0.001f);
    ServeMaximalFrames(session, source);
    RunFrames(state, source, [&] { return session.Poll(); });
}
BENCHMARK(BM_PollAndAssemble)->Unit(benchmark::kMicrosecond);

// Filters fed every frame; arg 1: the frame's markers replaced by their
// output (filtering on).
void BM_ViewSessionUpdate(benchmark::State& state) {
    MaximalFrame source;
    vektk::ViewSession session(0.001f);
    session.filtering = state.range(0) != 0;
    ServeMaximalFrames(session, source);
    RunFrames(state, source, [&] { return session.Update(); });
    if (session.markers.size() != kMarkers) state.SkipWithError("markers lost");
}
BENCHMARK(BM_ViewSessionUpdate)->ArgName("filtering")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// No filter runs at all (filter frequency too high for 480 Hz).
void BM_ViewSessionUpdateUnfiltered(benchmark::State& state) {
    MaximalFrame source;
    vektk::ViewSession session(0.001f);
    session.filterFrequency = 480.0f;
    ServeMaximalFrames(session, source);
    RunFrames(state, source, [&] { return session.Update(); });
}
BENCHMARK(BM_ViewSessionUpdateUnfiltered)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
