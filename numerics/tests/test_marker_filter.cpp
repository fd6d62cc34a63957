// The marker trajectory filter against references computed here: Eigen's
// least squares for the line fit, plain arithmetic for lags and gaps.
#include <gtest/gtest.h>

#include <limits>

#include <Eigen/Dense>
#include <cmath>
#include <random>

#include "marker_filter.h"

using numerics::MarkerFilter;

namespace {

MarkerRecord Seen(int frame, float x, float y = 0, float z = 0) {
    return MarkerRecord{7, frame, x, y, z, 1.0f, 0};
}
MarkerRecord Lost(int frame) { return MarkerRecord{7, frame, 0, 0, 0, 0.0f, 0}; }

MarkerFilter Filter(float system, float filter) {
    MarkerFilter f;
    EXPECT_TRUE(f.Set(system, filter));
    return f;
}

// Value at dt = 0 of the least-squares line through (dt, x) of the usable
// window samples, solved by Eigen.
double ReferenceFit(const MarkerFilter& f, int coordinate) {
    const int size = static_cast<int>(f.data().size());
    const int now = size - ((f.n() - 1) / 2 + 1);
    std::vector<std::pair<double, double>> points;
    for (int k = now - (f.n() - 1) / 2; k < size; ++k) {
        const MarkerRecord& r = f.data()[static_cast<size_t>(k)];
        if (r.cond <= 0 && !(r.flags & MarkerFilter::kInterpolated)) continue;
        const float p[3] = {r.x, r.y, r.z};
        points.emplace_back(r.frame - f.data()[static_cast<size_t>(now)].frame, p[coordinate]);
    }
    Eigen::MatrixXd a(points.size(), 2);
    Eigen::VectorXd b(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        a(static_cast<Eigen::Index>(i), 0) = 1;
        a(static_cast<Eigen::Index>(i), 1) = points[i].first;
        b(static_cast<Eigen::Index>(i)) = points[i].second;
    }
    return a.colPivHouseholderQr().solve(b)(0);
}

}  // namespace

TEST(MarkerFilterSet, WindowLengthIsOdd) {
    EXPECT_EQ(Filter(480, 16).n(), 31);
    EXPECT_EQ(Filter(480, 160).n(), 3);
    EXPECT_EQ(Filter(480, 200).n(), 3);
    EXPECT_EQ(Filter(480, 17).n(), 29);
    EXPECT_EQ(Filter(100, 200).n(), 1);
    EXPECT_EQ(Filter(480, 1e-3f).n(), MarkerFilter::kMaxWindow);  // not 480 000 samples
    const MarkerFilter f = Filter(480, 16);
    ASSERT_EQ(f.data().size(), 31u);
    EXPECT_EQ(f.data().front().cond, 0.0f);
    EXPECT_EQ(f.data().front().frame, 0);
}

TEST(MarkerFilterSet, NonPositiveFrequenciesAreRefused) {
    MarkerFilter f = Filter(480, 16);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(f.Set(0, 16));
    EXPECT_FALSE(f.Set(480, -1));
    EXPECT_FALSE(f.Set(std::numeric_limits<float>::infinity(), 16));
    EXPECT_FALSE(f.Set(480, std::numeric_limits<float>::quiet_NaN()));
    const std::string message = testing::internal::GetCapturedStderr();
    std::string expected;
    for (int i = 0; i < 4; ++i) expected += "error: MarkerFilter::Set: system_freq > 0 && filter_freq > 0\n";
    EXPECT_EQ(message, expected);
    EXPECT_EQ(f.n(), 31);
    EXPECT_EQ(f.data().size(), 31u);
}

TEST(MarkerFilterSet, GrowingPadsTheFrontAndShrinkingKeepsTheWindow) {
    MarkerFilter f = Filter(480, 160);
    for (int i = 1; i <= 3; ++i) f.Push(Seen(i, static_cast<float>(i)));
    ASSERT_TRUE(f.Set(480, 96));  // n = 5
    ASSERT_EQ(f.data().size(), 5u);
    EXPECT_EQ(f.data()[0].id, -1);
    EXPECT_EQ(f.data()[0].frame, -1);
    EXPECT_EQ(f.data()[0].cond, -1.0f);
    EXPECT_EQ(f.data()[2].frame, 1);
    ASSERT_TRUE(f.Set(480, 160));  // n = 3: the longer window stays
    EXPECT_EQ(f.n(), 3);
    EXPECT_EQ(f.data().size(), 5u);
    f.Push(Seen(4, 4));
    MarkerRecord out{};
    EXPECT_EQ(f.Output(out, MarkerFilter::kLineFit), 1);
    EXPECT_EQ(out.frame, 3);  // the middle of the last 3 records
    EXPECT_FLOAT_EQ(out.x, 3.0f);
}

TEST(MarkerFilterOutput, FullWindowFitAtTheCentreIsTheWindowMean) {
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0.0f, 2.0f);
    MarkerFilter f = Filter(480, 16);
    for (int frame = 1; frame <= 100; ++frame) {
        f.Push(Seen(frame, 0.5f * frame + noise(random), std::sin(frame * 0.1f) * 50, -3.0f + noise(random)));
        if (frame < 31) continue;
        double mean[3] = {0, 0, 0};
        for (const MarkerRecord& r : f.data()) {
            mean[0] += r.x / 31.0;
            mean[1] += r.y / 31.0;
            mean[2] += r.z / 31.0;
        }
        MarkerRecord out{};
        ASSERT_EQ(f.Output(out, MarkerFilter::kLineFit), 1);
        EXPECT_NEAR(out.x, mean[0], 1e-3);
        EXPECT_NEAR(out.y, mean[1], 1e-3);
        EXPECT_NEAR(out.z, mean[2], 1e-3);
        EXPECT_NEAR(out.x, ReferenceFit(f, 0), 1e-3);
        EXPECT_EQ(out.cond, 1.0f);
    }
}

TEST(MarkerFilterOutput, FitWithMissingSamplesMatchesLeastSquares) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> position(-100, 100);
    std::bernoulli_distribution lost(0.3);
    MarkerFilter f = Filter(480, 32);  // n = 15
    int checked = 0;
    for (int frame = 1; frame <= 400; ++frame) {
        const bool isLost = lost(random) && frame % 15 != 0;
        f.Push(isLost ? Lost(frame) : Seen(frame, position(random), position(random), 2));
        MarkerRecord out{};
        if (f.Output(out, MarkerFilter::kLineFit) != 1) continue;
        ++checked;
        for (int i = 0; i < 3; ++i) {
            const float p[3] = {out.x, out.y, out.z};
            EXPECT_NEAR(p[i], ReferenceFit(f, i), 1e-2) << "frame " << frame;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST(MarkerFilterOutput, LagsByHalfAWindow) {
    MarkerFilter f = Filter(480, 16);
    for (int frame = 1; frame <= 60; ++frame) {
        f.Push(Seen(frame, 2.0f * frame, 7, -1));
        MarkerRecord out{};
        const int r = f.Output(out, MarkerFilter::kLineFit);
        if (frame < 31) {
            EXPECT_EQ(r, 0) << frame;  // the window still starts with empty records
            EXPECT_EQ(out.cond, -1.0f);
            continue;
        }
        ASSERT_EQ(r, 1);
        EXPECT_EQ(out.frame, frame - 15);
        EXPECT_NEAR(out.x, 2.0f * (frame - 15), 1e-3);
    }
}

TEST(MarkerFilterOutput, UnusableWindowEndsGiveNoOutput) {
    MarkerFilter f = Filter(480, 96);  // n = 5
    for (int frame = 1; frame <= 5; ++frame) f.Push(Seen(frame, 1));
    MarkerRecord out{};
    EXPECT_EQ(f.Output(out, MarkerFilter::kLineFit), 1);
    f.Push(Lost(6));  // last sample unusable
    EXPECT_EQ(f.Output(out, MarkerFilter::kLineFit), 0);
    EXPECT_EQ(out.cond, -1.0f);
    EXPECT_EQ(f.Output(out, 0), 0);
    EXPECT_EQ(out.cond, -1.0f);
}

TEST(MarkerFilterOutput, SameFrameEverywhereUsesDivisorOne) {
    MarkerFilter f = Filter(480, 96);
    for (float x : {1.0f, 2.0f, 3.0f, 4.0f, 10.0f}) f.Push(Seen(9, x));
    MarkerRecord out{};
    EXPECT_EQ(f.Output(out, MarkerFilter::kLineFit), 1);
    EXPECT_FLOAT_EQ(out.x, 4.0f);  // slope 0: the mean
}

TEST(MarkerFilterOutput, AverageCountsTheUsableSamples) {
    MarkerFilter f = Filter(480, 96);  // n = 5
    for (int frame = 1; frame <= 3; ++frame) f.Push(Seen(frame, static_cast<float>(frame)));
    f.Push(Lost(4));
    f.Push(Seen(5, 9));  // frame 4 filled at 6
    MarkerRecord out{};
    EXPECT_EQ(f.Output(out, 0), 5);
    EXPECT_FLOAT_EQ(out.x, (1 + 2 + 3 + 6 + 9) / 5.0f);

    MarkerFilter g = Filter(480, 68);  // n = 7
    for (int frame = 1; frame <= 3; ++frame) g.Push(Seen(frame, static_cast<float>(frame)));
    for (int frame = 4; frame <= 6; ++frame) g.Push(Lost(frame));
    g.Push(Seen(7, 7));              // gap of 4 > 3: not filled
    EXPECT_EQ(g.Output(out, 0), 4);  // the centre is unseen but not padding
    EXPECT_FLOAT_EQ(out.x, (1 + 2 + 3 + 7) / 4.0f);
    EXPECT_EQ(g.Output(out, MarkerFilter::kLineFit), 0);  // the fit needs a seen centre
}

TEST(MarkerFilterGaps, ThreeLostFramesAreFilledAtN31) {
    MarkerFilter f = Filter(480, 16);
    f.Push(Seen(10, 0, 0, 0));
    for (int frame = 11; frame <= 13; ++frame) f.Push(Lost(frame));
    f.Push(Seen(14, 8, -4, 0));
    for (int k = 1; k <= 3; ++k) {
        const MarkerRecord& r = f.data()[f.data().size() - 1 - 4 + static_cast<size_t>(k)];
        EXPECT_EQ(r.frame, 10 + k);
        EXPECT_NEAR(r.x, 2.0f * k, 1e-5);
        EXPECT_NEAR(r.y, -1.0f * k, 1e-5);
        EXPECT_EQ(r.flags & MarkerFilter::kInterpolated, MarkerFilter::kInterpolated);
        EXPECT_EQ(r.cond, 0.0f);  // cond is left as it was
    }
    EXPECT_EQ(f.lastGood(), 14);
}

TEST(MarkerFilterGaps, LongGapsAreNotFilled) {
    for (int lostFrames : {14, 15, 16}) {
        MarkerFilter f = Filter(480, 16);
        f.Push(Seen(10, 0));
        for (int k = 1; k <= lostFrames; ++k) f.Push(Lost(10 + k));
        f.Push(Seen(11 + lostFrames, 100));
        const bool filled = (f.data()[f.data().size() - 2].flags & MarkerFilter::kInterpolated) != 0;
        // The gap is frames since the last good one: filled up to n / 2 = 15.
        EXPECT_EQ(filled, lostFrames + 1 <= 15) << lostFrames;
    }
}

TEST(MarkerFilterGaps, FramesMissingFromTheWindowAreNotOverwritten) {
    MarkerFilter f = Filter(480, 16);
    f.Push(Seen(8, 50));
    f.Push(Seen(10, 0));
    // Frames 11 and 12 never reached the filter.
    f.Push(Lost(13));
    f.Push(Seen(14, 8));
    const size_t last = f.data().size() - 1;
    EXPECT_EQ(f.data()[last - 2].x, 0.0f);  // frame 10 keeps its position
    EXPECT_EQ(f.data()[last - 3].x, 50.0f);
    for (size_t k = last - 3; k < last; ++k) {
        EXPECT_EQ(f.data()[k].flags & MarkerFilter::kInterpolated, 0u);
    }
}

TEST(MarkerFilterReset, ForgetsTheWindowAndLastGood) {
    // The same frequencies again still rebuild the window.
    MarkerFilter same = Filter(480, 16);
    same.Push(Seen(10, 1));
    ASSERT_TRUE(same.Reset(480, 16));
    EXPECT_EQ(same.data().size(), 31u);
    EXPECT_EQ(same.data().back().frame, 0);

    MarkerFilter f = Filter(480, 16);
    f.Push(Seen(10, 1));
    ASSERT_TRUE(f.Reset(240, 16));
    EXPECT_EQ(f.n(), 15);
    EXPECT_EQ(f.lastGood(), -1);
    EXPECT_EQ(f.data().size(), 15u);
    for (const MarkerRecord& r : f.data()) EXPECT_EQ(r.cond, 0.0f);
}
