// The clock estimator on made-up exchanges between two clocks whose truth
// is known: server = t + offset + drift * t.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "clock_estimator.h"

using veksock::ClockEstimator;
using veksock::ClockFit;
using veksock::TimeSample;

namespace {

struct Link {
    double offsetUs = 3600e6;
    double driftPpm = 100;
    double serverUs(double t) const { return t + offsetUs + driftPpm * 1e-6 * t; }
    double trueOffset(double t) const { return serverUs(t) - t; }
    // One exchange sent at t with these one-way delays.
    TimeSample exchange(double t, double upUs, double downUs, double heldUs = 20) const {
        const double t2 = serverUs(t + upUs);
        return {std::llround(t), std::llround(t2), std::llround(t2 + heldUs),
                std::llround(t + upUs + heldUs + downUs)};
    }
};

constexpr double kStart = 5e10;  // a host up for half a day

}  // namespace

TEST(ClockEstimator, JitterOutliersAndDriftAreFittedAndTheBoundHolds) {
    const Link link;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-500, 500);
    ClockEstimator e;
    double t = kStart;
    for (int i = 0; i < 4800; ++i, t += 25e3) {  // two minutes, forty a second
        double up = 2000 + jitter(random), down = 2000 + jitter(random);
        if (i % 17 == 0) up += 40000;  // a stalled request now and then
        if (i % 23 == 0) down += 25000;
        if (i % 29 == 0) down += 800;  // and a late reader
        ASSERT_TRUE(e.add(link.exchange(t, up, down)));
        const ClockFit f = e.estimate(std::llround(t + 5000));
        if (i < ClockEstimator::kMinSamples - 1) {
            EXPECT_FALSE(f.trusted) << i;
        }
        if (!f.trusted) continue;
        const double error = f.offsetUs - link.trueOffset(t + 5000);
        ASSERT_LE(std::fabs(error), f.uncertaintyUs) << i;
        if (i >= 200) {
            ASSERT_LT(std::fabs(error), 100) << i;
        }
    }
    const ClockFit f = e.estimate(std::llround(t));
    ASSERT_TRUE(f.trusted);
    EXPECT_NEAR(f.driftPpm, 100, 2);
    EXPECT_LT(std::fabs(f.offsetUs - link.trueOffset(t)), 40);
    // Conversion: a server time back to this host's time.
    int64_t local = 0;
    double bound = 0;
    ASSERT_TRUE(e.toLocal(std::llround(link.serverUs(t - 3000)), std::llround(t), local, &bound));
    EXPECT_LT(std::fabs(static_cast<double>(local) - (t - 3000)), 40);
    EXPECT_GE(bound, 1500);  // half the least round trip: asymmetry cannot be seen
    // Impossible samples are refused: answered before asked, back before sent.
    EXPECT_FALSE(e.add({100, 200, 150, 300}));
    EXPECT_FALSE(e.add({100, 200, 250, 90}));
    EXPECT_FALSE(e.add({INT64_MIN, INT64_MIN, INT64_MAX, INT64_MAX}));
}

TEST(ClockEstimator, AsymmetricDelaysStayWithinTheBoundAndAStepRestartsTheFit) {
    Link link{-7200e6, -50};
    ClockEstimator e;
    double t = kStart;
    for (int i = 0; i < 300; ++i, t += 100e3) e.add(link.exchange(t, 3000, 1000));
    ClockFit f = e.estimate(std::llround(t));
    ASSERT_TRUE(f.trusted);
    const double error = f.offsetUs - link.trueOffset(t);
    EXPECT_NEAR(error, 1000, 5);  // the half of the asymmetry nobody can see
    EXPECT_LE(std::fabs(error), f.uncertaintyUs);

    // The server's clock steps 80 ms: a sample off the line is not trusted
    // at once, and a few of them in a row restart the fit from them.
    link.offsetUs += 80000;
    e.add(link.exchange(t, 1000, 1000));
    EXPECT_FALSE(e.estimate(std::llround(t)).trusted);
    for (int i = 0; i < ClockEstimator::kMinSamples + 2; ++i, t += 100e3) e.add(link.exchange(t, 1000, 1000));
    f = e.estimate(std::llround(t));
    ASSERT_TRUE(f.trusted);
    EXPECT_LT(std::fabs(f.offsetUs - link.trueOffset(t)), f.uncertaintyUs);
    EXPECT_LT(std::fabs(f.offsetUs - link.trueOffset(t)), 1000);

    // A lone sample off the line (a server that stalled between reading and
    // stamping) is dropped once the next one agrees with the line.
    TimeSample odd = link.exchange(t, 1000, 1000);
    odd.serverReceivedUs += 30000;
    odd.serverSentUs += 30000;
    e.add(odd);
    e.add(link.exchange(t + 100e3, 1000, 1000));
    f = e.estimate(std::llround(t + 100e3));
    ASSERT_TRUE(f.trusted);
    EXPECT_LT(std::fabs(f.offsetUs - link.trueOffset(t + 100e3)), 1000);
}

TEST(ClockEstimator, NoNewSamplesMeansStaleNeverWrong) {
    const Link link;
    ClockEstimator e;
    int64_t local = 0;
    EXPECT_FALSE(e.toLocal(1, std::llround(kStart), local));
    double t = kStart;
    for (int i = 0; i < 20; ++i, t += 100e3) e.add(link.exchange(t, 50, 50));
    EXPECT_TRUE(e.toLocal(std::llround(link.serverUs(t)), std::llround(t), local));
    const double stale = t + ClockEstimator::kStaleUs + 1;
    EXPECT_FALSE(e.estimate(std::llround(stale)).trusted);
    EXPECT_FALSE(e.toLocal(std::llround(link.serverUs(stale)), std::llround(stale), local));
    // Far beyond any sane time: no figure rather than an overflow.
    EXPECT_FALSE(e.toLocal(INT64_MAX, std::llround(t), local));
    e.clear();
    EXPECT_FALSE(e.estimate(std::llround(t)).trusted);
}
