// Capture times on this host's clock against vekd posing as another
// machine: the truth follows from its options, frame = t + offset + drift * t.
#include <gtest/gtest.h>
#include <time.h>

#include <cmath>
#include <string>
#include <vector>

#include "library_waits.h"
#include "scripted_peer.h"
#include "server_process.h"
#include "veksock.h"
#include "wire.h"

using testsupport::ServerProcess;

namespace {

int64_t nowOn(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
}

// Waits up to two seconds for a frame after `frame`.
bool newFrame(int& frame) {
    const int before = frame;
    for (int i = 0; i < 2000 && frame == before; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        vekGetIntegerv(VEK_FRAME, &frame);
    }
    return frame != before;
}

}  // namespace

TEST(CaptureTime, EachSimulatedClockIsMatchedWithinTheReportedBound) {
    const struct {
        std::vector<std::string> args;
        double offsetS, driftPpm;
    } cases[] = {
        {{"--clock-offset", "-7200"}, -7200, 0},
        {{"--clock-drift", "-300"}, 0, -300},
        {{"--link-delay", "3:1"}, 0, 0},
        {{"--clock-offset", "3600", "--clock-drift", "100", "--link-delay", "2:0.5"}, 3600, 100},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--freq", "200"});
        ServerProcess server(args);
        ASSERT_EQ(vekInit(server.address().c_str(), 0), 0) << c.args[0];
        int same = -1;
        vekGetIntegerv(VEK_SAME_CLOCK, &same);
        EXPECT_EQ(same, 0) << c.args[0];  // loopback, but not this machine's clock
        ASSERT_EQ(vekSetInteger(VEK_STREAMING, VEK_ON), 1);
        VEKClockEstimate estimate{};
        // Through the first seconds, while drift is still guessed, and after.
        const auto start = Clock::now();
        int frame = 0, checked = 0;
        for (auto next = start; Clock::now() - start < std::chrono::milliseconds(3500);) {
            ASSERT_TRUE(newFrame(frame)) << c.args[0];
            if (Clock::now() < next) continue;
            next += std::chrono::milliseconds(250);
            ASSERT_EQ(vekGetClockEstimate(&estimate), 1) << c.args[0];
            int64_t generated = 0, mono = 0, real = 0, frameMono = 0;
            vekGetFrameTime(&generated);
            ASSERT_EQ(vekServerTimeToLocal(generated, CLOCK_MONOTONIC, &mono), 1);
            ASSERT_EQ(vekGetCaptureTime(frame, CLOCK_REALTIME, &real), 1);
            ASSERT_EQ(vekGetCaptureTime(frame, CLOCK_MONOTONIC, &frameMono), 1);
            const double truth = (static_cast<double>(generated) - c.offsetS * 1e6) / (1 + c.driftPpm * 1e-6);
            EXPECT_LE(std::fabs(static_cast<double>(mono) - truth), estimate.uncertaintyUs + 1) << c.args[0];
            EXPECT_NEAR(static_cast<double>(real - frameMono),
                        static_cast<double>(nowOn(CLOCK_REALTIME) - nowOn(CLOCK_MONOTONIC)), 1000);
            ++checked;
        }
        EXPECT_GE(checked, 10) << c.args[0];
        // Drift after three seconds: finer without jitter on the link.
        EXPECT_NEAR(estimate.driftPpm, c.driftPpm,
                    c.args[0] == "--link-delay" || c.args.size() > 4 ? 250 : 50);
        // A frame long gone, or a clock the library does not convert to.
        int64_t us = 0;
        EXPECT_EQ(vekGetCaptureTime(1 << 30, CLOCK_MONOTONIC, &us), -1);
        EXPECT_EQ(vekGetCaptureTime(0, CLOCK_PROCESS_CPUTIME_ID, &us), 0);
        EXPECT_EQ(vekGetError(), 0);
        vekDone();
    }
}

TEST(CaptureTime, AClientThatStopsCallingGetsAStaleEstimateNotAWrongOne) {
    ServerProcess server({"--clock-offset", "100", "--link-delay", "5", "--freq", "0"});
    ASSERT_EQ(vekInit(server.address().c_str(), 0), 0);
    VEKClockEstimate estimate{};
    EXPECT_EQ(vekGetClockEstimate(&estimate), 1);
    EXPECT_NEAR(static_cast<double>(estimate.offsetUs), 100e6, estimate.uncertaintyUs + 1);
    EXPECT_GE(estimate.samples, 4);
    // No call for longer than the estimate keeps: the first call after it
    // sends a new request but cannot have its answer yet (10 ms away).
    std::this_thread::sleep_for(std::chrono::milliseconds(5300));
    int64_t local = 0;
    EXPECT_EQ(vekServerTimeToLocal(nowOn(CLOCK_MONOTONIC) + 100000000, CLOCK_MONOTONIC, &local), 0);
    EXPECT_EQ(vekGetClockEstimate(&estimate), 0);
    EXPECT_GT(estimate.ageMs, 5000);
    // Calls again: fresh samples, trusted again.
    for (int i = 0; i < 200 && vekGetClockEstimate(&estimate) != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(estimate.trusted, 1);
    vekDone();
}

TEST(CaptureTime, AServerWithoutTheExchangeKeepsTheOldRules) {
    // The scripted peer refuses time requests as vekd did before it knew
    // them; a loopback server is then the same clock, as ever.
    for (const bool elsewhere : {false, true}) {
        vekwire::Welcome w;
        w.facts = elsewhere ? vekwire::kFrameClockElsewhere : 0;
        std::string welcome;
        vekwire::encodeWelcome(welcome, w);
        testsupport::ScriptedPeer peer({welcome}, std::string(1, '\0'));
        ASSERT_EQ(vekInit(peer.address().c_str(), 0), 0);
        EXPECT_EQ(vekGetError(), 0);  // the refusal is not the caller's error
        int64_t local = 0;
        VEKClockEstimate estimate{};
        EXPECT_EQ(vekServerTimeToLocal(123456, CLOCK_MONOTONIC, &local), elsewhere ? 0 : 1);
        EXPECT_EQ(vekGetClockEstimate(&estimate), elsewhere ? 0 : 1);
        EXPECT_EQ(estimate.sameClock, elsewhere ? 0 : 1);
        EXPECT_EQ(estimate.samples, 0);
        EXPECT_EQ(local, elsewhere ? 0 : 123456);
        vekDone();
    }
}
