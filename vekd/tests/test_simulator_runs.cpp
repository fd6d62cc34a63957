// The simulator over many frames and at its limits: record counts a
// client can fetch, no allocation once the frame's vectors have grown, and
// the default scene's visibility over time.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "scene.h"
#include "simulator.h"
#include "simulator_scenes.h"
#include "trackers.h"

// Counts heap allocations so that a test can see the frame loop make none.
std::atomic<long> allocations{0};

// (GCC cannot tell that this new and delete are a pair.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace vekd {
namespace {

TEST(SimulatorLimits, RecordCountsStayWithinWhatAClientFetches) {
    // 64 cameras facing a block of as many LEDs as a frame holds markers
    // (585) would give 74880 peaks: the stream takes the first it holds
    // (512), markers come from every reading.
    std::string text;
    for (int c = 0; c < 64; ++c)
        text += "camera " + std::to_string(c) + " " + std::to_string(-3200 + 100 * c) +
                " -4000 1000 0 0 1000 60 60\n";
    for (int i = 0; i < VEK_MAX_MARKERS; ++i)
        text += "led " + std::to_string(i) + " static " + std::to_string(-500 + (i % 25) * 40) + " 0 " +
                std::to_string(500 + (i / 25) * 40) + " 0 -1 0\n";
    const Scene scene = sceneFromText(text);
    Simulator sim(scene, 1);
    TrackerTable table;
    for (int id = 0; id < 400; ++id) {
        ASSERT_EQ(table.create(id, VEK_CREATE, VEK_RIGID_TRACKER), 0);
        ASSERT_EQ(table.operate(id, VEK_ON), 0);
    }
    for (int m = 0; m < VEK_MAX_MARKERS; ++m)
        ASSERT_EQ(table.setMarkerLed(vek_marker_id(m % 400, m / 400), VEK_MARKER_LED, m), 0);
    FrameData frame;
    sim.generate(3, 0, table, frame);
    EXPECT_EQ(frame.images.size(), std::size_t{VEK_MAX_IMAGES});
    EXPECT_EQ(frame.detectors.size(), 128u);
    EXPECT_EQ(frame.markers.size(), std::size_t{VEK_MAX_MARKERS});
    EXPECT_EQ(frame.rigids.size(), std::size_t{VEK_MAX_RIGIDS});
    int peaks = 0;
    for (size_t k = 0; k < frame.detectors.size(); ++k) {
        EXPECT_EQ(frame.detectors[k].id, static_cast<int>(k));
        EXPECT_EQ(frame.detectors[k].frame, 3);
        peaks += frame.detectors[k].peaks;
    }
    EXPECT_EQ(peaks, VEK_MAX_IMAGES);
    for (const MarkerRecord& m : frame.markers) {
        const int led = vek_marker_tracker(m.id) + 400 * vek_marker_index(m.id);
        ASSERT_GT(m.cond, 0.0f) << "LED " << led
                                << ": read by cameras whose peaks the stream has no room for";
        EXPECT_LT(distanceToTruth(scene, led, 0, m), 0.2) << "LED " << led;
    }
}

TEST(SimulatorLimits, FramesAfterTheFirstAllocateNothing) {
    const Scene scene = defaultScene();
    Simulator sim(scene, 1);
    TrackerTable table;
    addPointTracker(table, 1, allLedIds(scene));
    addRigidTracker(table, 2, scene, {0, 1, 2, 3, 4, 5}, 1.0f);
    FrameData frame;
    for (int f = 0; f < 100; ++f) sim.generate(f, f / kRate, table, frame);  // vectors reach their size
    const long before = allocations.load();
    for (int f = 100; f < 1100; ++f) sim.generate(f, f / kRate, table, frame);
    EXPECT_EQ(allocations.load() - before, 0);
}

// Visibility over time in the default scene.
TEST(SimulatorDefaultScene, WandIsReconstructedNearlyAlways) {
    const Scene scene = defaultScene();
    Simulator sim(scene, 5);
    TrackerTable table;
    addPointTracker(table, 0, {0, 1, 2, 3, 4, 5});
    FrameData frame;
    int complete = 0;
    const int frames = 3000;
    for (int f = 0; f < frames; ++f) {
        sim.generate(f, f / kRate, table, frame);
        bool all = true;
        for (const MarkerRecord& m : frame.markers) all = all && m.cond > 0;
        complete += all;
        ASSERT_LE(frame.images.size(), std::size_t{VEK_MAX_IMAGES});
    }
    EXPECT_GE(complete, frames * 99 / 100);
}

TEST(SimulatorDefaultScene, EveryCameraLosesAndRegainsAnLed) {
    const Scene scene = defaultScene();
    Simulator sim(scene, 5);
    TrackerTable table;
    const std::vector<int> leds = allLedIds(scene);
    addPointTracker(table, 1, leds);
    const size_t cameras = scene.cameras.size();
    // state[c][i]: 0 never seen, 1 seen, 2 seen then lost, 3 regained
    std::vector<std::vector<int>> state(cameras, std::vector<int>(leds.size(), 0));
    FrameData frame;
    for (int f = 0; f < 1000; ++f) {
        sim.generate(f, f / kRate, table, frame);
        std::vector<std::vector<bool>> now(cameras, std::vector<bool>(leds.size(), false));
        for (const ImageRecord& image : frame.images) now[image.camera][vek_marker_index(image.id)] = true;
        for (size_t c = 0; c < cameras; ++c)
            for (size_t i = 0; i < leds.size(); ++i) {
                int& s = state[c][i];
                if (now[c][i] && (s == 0 || s == 2))
                    ++s;
                else if (!now[c][i] && s == 1)
                    s = 2;
            }
    }
    for (size_t c = 0; c < cameras; ++c) {
        int regained = 0;
        for (int s : state[c]) regained += s == 3;
        EXPECT_GE(regained, 1) << "camera " << c;
    }
}

}  // namespace
}  // namespace vekd
