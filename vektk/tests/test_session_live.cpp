// The session against a real vekd on loopback: trackers from files, frames
// assembled at 480 Hz, and a server restart under the session.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "server_process.h"
#include "temp_dir.h"
#include "view_session.h"

using testsupport::ServerProcess;
using testsupport::TempDir;
using Clock = std::chrono::steady_clock;

namespace {

// The default scene's wand (LEDs 0-5) in its body frame, millimetres.
constexpr char kWand[] =
    "# wand\n"
    "s, 1.0\n"
    "0, -70 -45 0\n1, 70 -45 0\n2, 75 50 15\n3, -60 55 25\n4, 0 0 70\n5, 15 -80 40";
// The puck's LEDs and part of the floor grid.
constexpr char kPoints[] = "8\n9\n10\n11\n12\n13\n# floor\n16\n17\n18\n19\n";

class LiveSession : public testing::Test {
protected:
    void SetUp() override {
        session.trackers.push_back(
            vektk::Tracker::FromFile(vektk::kRigidTracker, 1, dir.Write("wand.rb", kWand)).value());
        session.trackers.push_back(
            vektk::Tracker::FromFile(vektk::kPointTracker, 2, dir.Write("points.pt", kPoints)).value());
        ASSERT_EQ(session.trackers[0].markers.size(), 6u);
        ASSERT_EQ(session.trackers[1].markers.size(), 10u);
    }
    void TearDown() override {
        if (session.connected) session.Done();
    }

    int Connect(const ServerProcess& server) {
        const int r = session.ConnectView(vektk::ConnectionSettings(server.address(), 480.0f), 1, 1);
        if (r >= 0) {
            vekSetInteger(VEK_IMAGES, VEK_ON);
            vekSetInteger(VEK_DETECTORS, VEK_ON);
        }
        return r;
    }

    // Polls for `seconds`, checking every frame; the number of frames.
    // With filtering the markers lag by `lag` frames once the filters'
    // windows have filled.
    int StreamAndCheck(double seconds, int& first, int lag = 0) {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        int frames = 0;
        int previous = -1;
        first = -1;
        // Frames vekd could not make in time (a loaded machine can stall
        // it) are gaps the library counts; any other gap is a lost frame.
        int skippedAtStart = 0, gaps = 0;
        vekGetIntegerv(VEK_SERVER_SKIPPED, &skippedAtStart);
        while (Clock::now() < end) {
            const int r = session.Update();
            EXPECT_GE(r, 0);
            if (r < 0) break;
            if (r == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            ++frames;
            const int f = session.lastFrame;
            if (first < 0) first = f;
            if (previous >= 0) {
                EXPECT_GT(f, previous) << "frame repeated";
                gaps += f - previous - 1;
                int skipped = 0;
                vekGetIntegerv(VEK_SERVER_SKIPPED, &skipped);
                EXPECT_LE(gaps, skipped - skippedAtStart) << "frame " << f << ": frames lost";
            }
            previous = f;
            ExpectOneFrame(f, lag == 0 || f > first + 2 * lag + 1 ? f - lag : -1);
        }
        return frames;
    }

    // markerFrame: the frame the markers carry; -1 skips the marker check.
    void ExpectOneFrame(int f, int markerFrame) {
        // Every marker of every tracker, in creation and index order.
        ASSERT_EQ(session.markers.size(), 16u) << "frame " << f;
        if (markerFrame >= 0) {
            EXPECT_EQ(session.markers[0].id, vektk::MarkerId(1, 0));
            EXPECT_EQ(session.markers[15].id, vektk::MarkerId(2, 9));
            for (const auto& m : session.markers) ASSERT_EQ(m.frame, markerFrame);
        }
        ASSERT_EQ(session.rigids.size(), 1u);
        EXPECT_EQ(session.rigids[0].id, 1);
        EXPECT_EQ(session.rigids[0].frame, f);
        for (const auto& i : session.images) ASSERT_EQ(i.frame, f);
        for (const auto& d : session.detectors) ASSERT_EQ(d.frame, f);
        EXPECT_EQ(session.cameras.size(), 8u);
    }

    TempDir dir;
    vektk::ViewSession session{1.0f};
};

int LibraryCounter(int key) {
    int value = -1;
    vekGetIntegerv(key, &value);
    return value;
}

}  // namespace

TEST_F(LiveSession, AssemblesEveryFrameAt480Hz) {
    ServerProcess server({"--freq", "480", "--seed", "3"});
    ASSERT_GE(Connect(server), 0);
    EXPECT_FLOAT_EQ(session.frequency, 480.0f);
    int first = 0;
    const int frames = StreamAndCheck(3.0, first);
    EXPECT_GT(frames, 3 * 480 / 2);
    EXPECT_EQ(session.systemFrequency, 480.0f);
    // The client kept up: nothing was dropped on either side.
    EXPECT_EQ(LibraryCounter(VEK_LIB_DROPPED), 0);
    EXPECT_EQ(LibraryCounter(VEK_SERVER_DROPPED), 0);
    EXPECT_FALSE(session.images.empty());
    EXPECT_EQ(session.detectors.size(), 16u);
    // The wand is found: its pose is near the scene's centre, 1 m above the floor.
    EXPECT_GT(session.rigids[0].cond, 0.0f);
    EXPECT_NEAR(session.rigids[0].pose[1], 1000.0f, 300.0f);
    EXPECT_GT(session.markersSeenAverage.mean, 5.0f);
}

TEST_F(LiveSession, FilteringKeepsFramesAndLagsHalfAWindow) {
    ServerProcess server({"--freq", "480", "--seed", "4"});
    session.filtering = true;
    session.filterFrequency = 48.0f;  // n = 11: a lag of 5 frames
    ASSERT_GE(Connect(server), 0);
    int first = 0;
    EXPECT_GT(StreamAndCheck(0.5, first, 5), 100);
    int fitted = 0;
    for (const auto& m : session.markers) fitted += m.cond > 0;
    EXPECT_GT(fitted, 0);
}

TEST_F(LiveSession, RecoversFromAServerRestart) {
    auto server = std::make_unique<ServerProcess>(std::vector<std::string>{"--freq", "480"});
    const int port = server->port();
    ASSERT_GE(Connect(*server), 0);
    int first = 0;
    EXPECT_GT(StreamAndCheck(0.5, first), 100);

    server->stop();
    testing::internal::CaptureStdout();
    int r = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while ((r = session.Update()) >= 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "vek stopped\n");
    EXPECT_EQ(r, -1);
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(session.lastError, VEK_SERVER_STOPPED);

    // A new server on the same port: the same settings connect again, the
    // trackers are created again and frames count from the start.
    server = std::make_unique<ServerProcess>(
        std::vector<std::string>{"--freq", "480", "--port", std::to_string(port)});
    ASSERT_EQ(server->port(), port);
    ASSERT_GE(Connect(*server), 0);
    EXPECT_GT(StreamAndCheck(0.5, first), 100);
    EXPECT_LT(first, 480);
}

TEST(LiveSessionErrors, RefusedConnection) {
    vektk::VEK session(1.0f);
    const std::string host = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    const int r = session.Connect(vektk::ConnectionSettings(host, 480.0f), true, true);
    EXPECT_EQ(r, VEK_ERR_REFUSED);
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(vektk::VEK::ErrorText(host, r, vektk::kErrorContextLine),
              "error: Initialization failed connecting to " + host + " (Connection Refused)");
}

TEST_F(LiveSession, ARefusedTrackerDoesNotEndTheSession) {
    // 16 + 600 markers, more than the server holds: the last ones are refused.
    session.trackers.emplace_back(vektk::kPointTracker, 3, 600);
    ServerProcess server({"--freq", "480"});
    ASSERT_GE(Connect(server), 0);
    int frames = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(500);
    while (Clock::now() < end) {
        const int r = session.Update();
        ASSERT_GE(r, 0);
        frames += r;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_TRUE(session.connected);
    EXPECT_EQ(session.lastError, VEK_INVALID_OPERATION);
    EXPECT_GT(frames, 100);
    EXPECT_EQ(session.markers.size(), std::size_t{VEK_MAX_MARKERS});
}
