// A take played back through ReplayFrames, against the simulator that made
// it: the same records, byte for byte, for the recording's trackers and for
// trackers made only on the replay.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "replay.h"
#include "simulated_take.h"
#include "simulator.h"

namespace vekd {
namespace {

constexpr int kFrames = 40;
constexpr double kRate = 480.0;

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "replay_" + std::to_string(getpid()) + "_" + name;
}

// Records kFrames frames of the simulation into a take file.
std::string record(const Scene& scene, const TrackerTable& trackers, bool peakLeds, const std::string& name) {
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary)
        << testsupport::simulatedTake(scene, 3, trackers, kFrames, kRate, peakLeds);
    return path;
}

template <typename T>
std::string bytesOf(const std::vector<T>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

template <typename T>
void renumber(std::vector<T>& records, int32_t frame) {
    for (T& r : records) r.frame = frame;
}

// Served frame `served` is take frame `taken`: the simulator's records of
// that frame, for the trackers now, with the server's frame number.
void expectSameFrame(Simulator& sim, int taken, int served, const TrackerTable& trackers,
                     const FrameData& got) {
    FrameData want;
    sim.generate(taken, taken / kRate, trackers, want);
    renumber(want.markers, served);
    renumber(want.rigids, served);
    renumber(want.images, served);
    renumber(want.detectors, served);
    EXPECT_EQ(bytesOf(got.markers), bytesOf(want.markers)) << "frame " << taken;
    EXPECT_EQ(bytesOf(got.rigids), bytesOf(want.rigids)) << "frame " << taken;
    EXPECT_EQ(bytesOf(got.images), bytesOf(want.images)) << "frame " << taken;
    EXPECT_EQ(bytesOf(got.detectors), bytesOf(want.detectors)) << "frame " << taken;
    EXPECT_EQ(got.imageLeds, want.imageLeds) << "frame " << taken;
}

void addTracker(TrackerTable& t, int id, int type, const Scene& scene, std::vector<int> leds) {
    ASSERT_EQ(t.create(id, VEK_CREATE, type), 0);
    for (size_t i = 0; i < leds.size(); ++i) {
        const int m = vek_marker_id(id, static_cast<int>(i));
        ASSERT_EQ(t.setMarkerLed(m, VEK_MARKER_LED, leds[i]), 0);
        const Vec3 p = scene.leds[findLed(scene, leds[i])].position;
        const float xyz[3] = {float(p.x), float(p.y), float(p.z)};
        if (type == VEK_RIGID_TRACKER) {
            ASSERT_EQ(t.setMarkerPosition(m, VEK_MARKER_POSITION, xyz), 0);
        }
    }
    ASSERT_EQ(t.operate(id, VEK_ON), 0);
}

Scene oddScene() {
    Scene scene = defaultScene();
    scene.cameras[2].vfovDegrees = 45.5;  // the detectors' own fields of view travel in the take
    scene.cameras[5].calibrated = false;
    return scene;
}

}  // namespace

TEST(Replay, RebuildsWhatTheSimulatorServedAndMarkersForTrackersMadeOnTheReplay) {
    const Scene scene = oddScene();
    TrackerTable recorded;
    addTracker(recorded, 1, VEK_RIGID_TRACKER, scene, {0, 1, 2, 3, 4, 5});
    addTracker(recorded, 2, VEK_POINT_TRACKER, scene, {8, 9, 10, 11, 12, 13});
    const std::string path = record(scene, recorded, true, "leds.vektake");

    std::string error, note;
    auto replay = ReplayFrames::open(path, false, error, note);
    ASSERT_TRUE(replay) << error;
    EXPECT_EQ(note, "");
    EXPECT_TRUE(replay->knowsPeakLeds());
    Simulator sim(scene, 3);
    EXPECT_EQ(bytesOf(replay->cameras()), bytesOf(sim.cameras())) << "the take's own cameras";
    FrameData got;
    for (int f = 1; f <= kFrames; ++f) {
        ASSERT_TRUE(replay->generate(100 + f, 0, recorded, got));
        expectSameFrame(sim, f, 100 + f, recorded, got);
    }
    EXPECT_FALSE(replay->generate(200, 0, recorded, got));
    EXPECT_EQ(replay->endMessage(), "end of take: 40 frames served");

    // New trackers on the replay, looping past the end: the floor LEDs get
    // the very markers the simulation would have given them.
    TrackerTable fresh = recorded;
    addTracker(fresh, 7, VEK_POINT_TRACKER, scene, {16, 17, 18, 19, 20, 21, 22, 23});
    ASSERT_EQ(fresh.operate(2, VEK_OFF), 0);
    auto looping = ReplayFrames::open(path, true, error, note);
    ASSERT_TRUE(looping) << error;
    int seen = 0;
    for (int f = 1; f <= kFrames + 5; ++f) {
        ASSERT_TRUE(looping->generate(f, 0, fresh, got));
        expectSameFrame(sim, (f - 1) % kFrames + 1, f, fresh, got);
        for (const MarkerRecord& m : got.markers) seen += vek_marker_tracker(m.id) == 7 && m.cond > 0;
    }
    EXPECT_GT(seen, (kFrames + 5) * 6);
    std::filesystem::remove(path);
}

TEST(Replay, WithoutLedIdsItServesTheRecordedMarkersAndBrokenTakesAreRefused) {
    const Scene scene = defaultScene();
    TrackerTable recorded;
    addTracker(recorded, 1, VEK_RIGID_TRACKER, scene, {0, 1, 2, 3, 4, 5});
    const std::string path = record(scene, recorded, false, "plain.vektake");
    std::string error, note;
    auto replay = ReplayFrames::open(path, false, error, note);
    ASSERT_TRUE(replay) << error;
    EXPECT_FALSE(replay->knowsPeakLeds());
    Simulator sim(scene, 3);
    const TrackerTable none;
    FrameData got, want;
    for (int f = 1; f <= 5; ++f) {
        ASSERT_TRUE(replay->generate(f + 1, 0, none, got));
        sim.generate(f, f / kRate, recorded, want);
        renumber(want.markers, f + 1);
        renumber(want.rigids, f + 1);
        EXPECT_EQ(bytesOf(got.markers), bytesOf(want.markers)) << "as recorded, whatever the trackers now";
        EXPECT_EQ(bytesOf(got.rigids), bytesOf(want.rigids));
        ASSERT_EQ(got.images.size(), want.images.size());
        EXPECT_EQ(got.images[0].id, want.images[0].id) << "peak ids as recorded";
    }

    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    vektake::Reader reader;
    reader.feed(bytes.data(), bytes.size());
    vektake::Item item;
    size_t third = 0, cameras = 0;
    for (int frames = 0; reader.next(item) == 1;) {
        if (item.kind == vektake::Kind::Cameras)
            cameras = item.offset + vektake::kRecordHeaderSize + item.size;
        if (item.kind == vektake::Kind::Frame && ++frames == 3) third = item.offset;
    }
    std::string damaged = bytes;
    damaged[third + 100] ^= 4;
    std::ofstream(path, std::ios::binary) << damaged;
    EXPECT_FALSE(ReplayFrames::open(path, false, error, note));
    EXPECT_EQ(error,
              path + ": byte " + std::to_string(third) + " (frame 3): checksum mismatch (damaged take)");

    std::ofstream(path, std::ios::binary) << bytes.substr(0, third + 100);
    ASSERT_TRUE(ReplayFrames::open(path, false, error, note)) << error;
    EXPECT_EQ(note, path + ": byte " + std::to_string(third) +
                        " (frame 3): cut short, no end record; 2 whole frames before it");

    std::ofstream(path, std::ios::binary) << bytes.substr(0, cameras + 5);
    EXPECT_FALSE(ReplayFrames::open(path, false, error, note));
    EXPECT_EQ(error, path + ": byte " + std::to_string(cameras) +
                         " (frame 1): cut short, no end record; 0 whole frames before it");
    std::filesystem::remove(path);

    // Only a regular file plays: a FIFO is refused at once, never waited on.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(ReplayFrames::open(path, false, error, note));
    EXPECT_EQ(error, path + ": a FIFO, not a regular file");
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_FALSE(ReplayFrames::open(path, false, error, note));
    EXPECT_EQ(error, path + ": a folder, not a regular file");
    std::filesystem::remove(path);
}

TEST(Replay, ATakeRewrittenWhileItPlaysStopsTheReplayInsteadOfServingCamerasItDoesNotHave) {
    // A take, then one of three times its cameras written over the same
    // file, in place: the frames read after the rewind name cameras the
    // replay does not have.
    const Scene small = defaultScene();
    Scene large = small;
    for (int i = 0; i < 2; ++i)
        large.cameras.insert(large.cameras.end(), small.cameras.begin(), small.cameras.end());
    TrackerTable trackers;
    addTracker(trackers, 1, VEK_POINT_TRACKER, small, {0, 1, 2, 3, 4, 5});
    const std::string path = record(small, trackers, true, "rewritten.vektake");
    std::string error, note;
    auto replay = ReplayFrames::open(path, true, error, note);
    ASSERT_TRUE(replay) << error;
    ASSERT_TRUE(replay->knowsPeakLeds());
    const int cameras = static_cast<int>(small.cameras.size());
    ASSERT_EQ(replay->cameras().size(), small.cameras.size());

    std::ofstream(path, std::ios::binary)
        << testsupport::simulatedTake(large, 3, trackers, kFrames, kRate, true);
    FrameData got;
    int served = 0;
    while (served < 3 * kFrames && replay->generate(served + 1, 0, trackers, got)) {
        ++served;
        for (const ImageRecord& image : got.images) ASSERT_LT(image.camera, cameras) << "frame " << served;
    }
    EXPECT_LE(served, kFrames);
    EXPECT_EQ(replay->endMessage(), "replay stopped: " + path + ": the take changed while it played");
    std::filesystem::remove(path);
}

// A take recorded when vekd's world was z-up (no y-up flag) is served in
// the y-up world: the cameras, and the markers and poses rebuilt from its
// peaks or served as recorded, are those of the same scene recorded now.
TEST(Replay, AnOldTakeOfAZUpWorldIsServedUpright) {
    const Scene scene = oddScene();
    TrackerTable recorded;
    addTracker(recorded, 1, VEK_RIGID_TRACKER, scene, {0, 1, 2, 3, 4, 5});
    addTracker(recorded, 2, VEK_POINT_TRACKER, scene, {8, 9, 10, 11, 12, 13});
    Simulator sim(scene, 3);
    for (const bool peakLeds : {true, false}) {
        SCOPED_TRACE(peakLeds ? "markers rebuilt" : "markers as recorded");
        const std::string path = tempPath("z-up.vektake");
        std::ofstream(path, std::ios::binary) << testsupport::asVersionOne(
            testsupport::simulatedTake(scene, 3, recorded, kFrames, kRate, peakLeds, true));
        std::string error, note;
        auto replay = ReplayFrames::open(path, false, error, note);
        ASSERT_TRUE(replay) << error;
        ASSERT_EQ(replay->cameras().size(), sim.cameras().size());
        for (size_t c = 0; c < sim.cameras().size(); ++c)
            for (int k = 0; k < 7; ++k)
                EXPECT_NEAR(replay->cameras()[c].pose[k], sim.cameras()[c].pose[k], 1e-6) << c << " " << k;
        FrameData got, want;
        for (int f = 1; f <= 5; ++f) {
            ASSERT_TRUE(replay->generate(f, 0, recorded, got));
            sim.generate(f, f / kRate, recorded, want);
            EXPECT_EQ(bytesOf(got.images), bytesOf(want.images)) << "peaks as recorded";
            ASSERT_EQ(got.markers.size(), want.markers.size());
            for (size_t i = 0; i < want.markers.size(); ++i) {
                const MarkerRecord &g = got.markers[i], &w = want.markers[i];
                EXPECT_EQ(g.id, w.id);
                EXPECT_NEAR(g.cond, w.cond, 0.01);
                EXPECT_NEAR(g.x, w.x, 0.01);
                EXPECT_NEAR(g.y, w.y, 0.01);
                EXPECT_NEAR(g.z, w.z, 0.01);
            }
            ASSERT_EQ(got.rigids.size(), 1u);
            EXPECT_GT(got.rigids[0].cond, 0);
            for (int k = 0; k < 7; ++k) EXPECT_NEAR(got.rigids[0].pose[k], want.rigids[0].pose[k], 0.01) << k;
        }
        std::filesystem::remove(path);
    }
}

}  // namespace vekd
