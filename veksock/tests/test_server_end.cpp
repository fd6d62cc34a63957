// The library when its server goes: stopped, killed, stopped for a while
// (SIGSTOP) and continued, or broken (a malformed message).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "library_waits.h"
#include "scripted_peer.h"
#include "server_process.h"
#include "veksock.h"
#include "wire.h"

using testsupport::ServerProcess;

TEST(LibraryServerEnd, StoppedOrKilledServerGivesCodeOneWithoutHanging) {
    for (int signal : {SIGTERM, SIGKILL}) {
        ServerProcess server({"--freq", "480"});
        ASSERT_EQ(vekInit(server.address().c_str(), 0), 0);
        vekSetInteger(VEK_STREAMING, VEK_ON);
        EXPECT_EQ(server.stop(signal), signal == SIGTERM ? 0 : 128 + SIGKILL);
        const auto start = Clock::now();
        int code = 0;
        while (code == 0 && Clock::now() - start < std::chrono::seconds(2)) {
            code = vekGetError();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(code, VEK_SERVER_STOPPED) << "signal " << signal;
        MarkerRecord m[4];
        EXPECT_LT(vekGetMarkers(m, 4), 0);
        EXPECT_EQ(vekTracker(0, VEK_ON), 0);  // requests fail at once
        drainErrors();
        vekDone();
    }
}

TEST(LibraryServerEnd, AMalformedMessageEndsTheConnectionAndItsTextSaysWhatBroke) {
    std::string admitted;
    vekwire::encodeWelcome(admitted, vekwire::Welcome{});
    vekwire::encodeCameras(admitted, nullptr, 0);
    // A frame message (kind 5) of 4 bytes: shorter than a frame's header.
    const std::string frame("\x04\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00", 12);
    testsupport::ScriptedPeer peer({admitted}, frame);
    ASSERT_EQ(vekInit(peer.address().c_str(), 0), 0);
    int code = 0;
    for (const auto start = Clock::now(); code == 0 && Clock::now() - start < std::chrono::seconds(2);)
        code = vekGetError();
    EXPECT_EQ(code, VEK_ERR_PROTOCOL);
    char text[VEK_STRING_SIZE];
    vekGetString(code, text);
    EXPECT_STREQ(text, "vekd and this library do not speak the same protocol: truncated frame header");
    vekDone();
}

TEST(LibraryServerEnd, FramesAStoppedServerCouldNotMakeAreAGapCountedApartFromDrops) {
    ServerProcess server({"--freq", "200"});
    ASSERT_EQ(vekInit(server.address().c_str(), 0), 0);
    vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
    vekMarkeri(0, VEK_MARKER_LED, 0);
    vekTracker(0, VEK_ON);
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    MarkerRecord m[4];
    ASSERT_GT(waitMarkers(m), 0);
    // Newest frame fetched, and the largest step between frames fetched.
    int last = m[0].frame, step = 1;
    auto fetch = [&](int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            for (int n; (n = vekGetMarkers(m, 4)) > 0; last = m[0].frame)
                step = std::max(step, m[0].frame - last);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    fetch(200);
    step = 1;

    // Stopped for half a second at least: the frames due meanwhile are never
    // made, and their numbers are a gap.
    ASSERT_TRUE(server.suspend());
    const auto stopped = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double seconds = std::chrono::duration<double>(Clock::now() - stopped).count();
    server.resume();
    fetch(300);
    const int due = static_cast<int>(seconds * 200);
    EXPECT_GE(step - 1, due - 2);
    int notMade = 0, serverDropped = -1, libDropped = -1;
    vekGetIntegerv(VEK_SERVER_SKIPPED, &notMade);
    vekGetIntegerv(VEK_SERVER_DROPPED, &serverDropped);
    vekGetIntegerv(VEK_LIB_DROPPED, &libDropped);
    EXPECT_GE(notMade, step - 1);
    EXPECT_EQ(serverDropped + libDropped, 0);

    // Frames this client did not ask for while it did not stream are no gap.
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_OFF), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
    ASSERT_GT(waitMarkers(m), 0);
    fetch(100);

    // vekd counts what it skipped, and so does the client, frame for frame.
    EXPECT_EQ(server.stop(), 0);
    while (vekGetMarkers(m, 4) >= 0) {
    }
    vekGetIntegerv(VEK_SERVER_SKIPPED, &notMade);
    EXPECT_NE(server.output().find("vekd: " + std::to_string(notMade) +
                                   " frames skipped in all: not made in time\n"),
              std::string::npos)
        << notMade << "\n"
        << server.output();
    drainErrors();
    vekDone();
}
