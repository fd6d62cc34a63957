#include "capture.h"

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace numerics;

namespace {

// A body of six LEDs, about 150 mm across, in its own frame.
const std::vector<Vec3> kBody = {{0, 0, 0},    {120, 0, 0},   {0, 90, 0},
                                 {40, 40, 60}, {-30, 70, 20}, {90, 80, -40}};

Mat4 poseAt(int frame) {
    const double a = 0.07 * frame;
    const Eigen::Matrix3d r = (Eigen::AngleAxisd(a, Eigen::Vector3d(1, 2, 3).normalized()) *
                               Eigen::AngleAxisd(0.5 * a, Eigen::Vector3d::UnitX()))
                                  .toRotationMatrix();
    Mat3 rot;
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row) rot[row + 3 * c] = r(row, c);
    return makeTransform(rot, {500 + 20.0 * frame, -300 + 5.0 * frame, 1000 - 3.0 * frame});
}

class SyntheticCapture : public ::testing::Test {
protected:
    std::mt19937 rng{42};
    double sigma = 0;
    std::vector<bool> seen = std::vector<bool>(kBody.size(), true);

    std::vector<MarkerRecord> frame(int index) {
        std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
        std::vector<MarkerRecord> out;
        for (std::size_t i = 0; i < kBody.size(); ++i) {
            Vec3 p = transformPoint(poseAt(index), kBody[i]);
            if (sigma > 0)
                for (double& x : p) x += noise(rng);
            out.push_back({static_cast<int32_t>(i), index, static_cast<float>(p[0]), static_cast<float>(p[1]),
                           static_cast<float>(p[2]), seen[i] ? 1.0f : -1.0f, 0});
        }
        return out;
    }

    // Where the body's LED i lies in the reference frame: the first frame's
    // axes, with reference LED `ref` at the origin.
    static Vec3 expected(std::size_t i, std::size_t ref, int firstFrame) {
        const Vec3 p = transformPoint(poseAt(firstFrame), kBody[i]);
        const Vec3 o = transformPoint(poseAt(firstFrame), kBody[ref]);
        return {p[0] - o[0], p[1] - o[1], p[2] - o[2]};
    }

    static void expectNear(const CaptureRecord& r, const Vec3& v, double tol) {
        EXPECT_NEAR(r.x, v[0], tol);
        EXPECT_NEAR(r.y, v[1], tol);
        EXPECT_NEAR(r.z, v[2], tol);
    }
};

}  // namespace

TEST_F(SyntheticCapture, MovingBodyConvergesToItsShapeInTheReferenceFrame) {
    CaptureState capture;
    capture.addMarkers(kBody.size());
    seen[0] = false;  // the reference is the first marker seen: LED 1
    auto f0 = frame(0);
    EXPECT_EQ(capture.step(f0.data(), f0.size()), CaptureStepResult::Started);
    EXPECT_EQ(capture.referenceIndex(), 1);
    expectNear(capture.records()[1], {0, 0, 0}, 0);
    EXPECT_EQ(capture.records()[0].updates, 0);

    seen[0] = true;
    for (int i = 1; i < 40; ++i) {
        auto f = frame(i);
        EXPECT_EQ(capture.step(f.data(), f.size()), CaptureStepResult::Fitted);
    }
    for (std::size_t i = 1; i < kBody.size(); ++i) {
        expectNear(capture.records()[i], expected(i, 1, 0), 1e-3);
        EXPECT_EQ(capture.records()[i].updates, 40);
        EXPECT_LT(capture.records()[i].jitterEstimate(), 1e-3);
    }
    // LED 0 appeared later: its first estimate went through that frame's fit.
    expectNear(capture.records()[0], expected(0, 1, 0), 1e-3);
    EXPECT_EQ(capture.records()[0].updates, 39);
}

TEST_F(SyntheticCapture, NoisyFramesConvergeAndJitterApproachesTheNoise) {
    sigma = 0.05;
    CaptureState capture;
    capture.addMarkers(kBody.size());
    for (int i = 0; i < 400; ++i) {
        auto f = frame(i);
        capture.step(f.data(), f.size());
    }
    // The reference frame is the first frame's; compare shapes by distances.
    const auto& r = capture.records();
    for (std::size_t i = 0; i < kBody.size(); ++i) {
        for (std::size_t j = i + 1; j < kBody.size(); ++j) {
            const double truth =
                std::hypot(kBody[i][0] - kBody[j][0], kBody[i][1] - kBody[j][1], kBody[i][2] - kBody[j][2]);
            const double got = std::hypot(r[i].x - r[j].x, r[i].y - r[j].y, r[i].z - r[j].z);
            EXPECT_NEAR(got, truth, 0.1) << i << "-" << j;
        }
        // The mean length of a 3D Gaussian error is 1.6 sigma.
        EXPECT_GT(r[i].jitterEstimate(), 1.0 * sigma);
        EXPECT_LT(r[i].jitterEstimate(), 2.5 * sigma);
    }
}

TEST_F(SyntheticCapture, StillBodyKeepsTheFirstTransform) {
    sigma = 0.05;
    CaptureState capture;
    capture.addMarkers(kBody.size());
    for (int i = 0; i < 50; ++i) {
        auto f = frame(0);
        capture.step(f.data(), f.size());
    }
    // The first frame's transform is the identity shifted by the reference
    // marker: the body's LEDs still land near their first-frame places.
    const Mat4& t = *capture.transform();
    EXPECT_NEAR(t[0], 1.0, 1e-3);
    EXPECT_NEAR(t[5], 1.0, 1e-3);
    for (std::size_t i = 0; i < kBody.size(); ++i) {
        const Vec3 p = transformPoint(t, transformPoint(poseAt(0), kBody[i]));
        const Vec3 e = expected(i, 0, 0);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], e[k], 0.5);
        EXPECT_LT(capture.records()[i].jitterEstimate(), 3 * sigma);
    }
}

TEST_F(SyntheticCapture, OneKnownMarkerKeepsThePreviousTransform) {
    CaptureState capture;
    capture.addMarkers(kBody.size());
    seen = {true, true, true, false, false, false};
    auto f0 = frame(0);
    capture.step(f0.data(), f0.size());
    const Mat4 previous = *capture.transform();

    // Only LED 2 is known; LED 4 is new and goes through the kept transform.
    seen = {false, false, true, false, true, false};
    auto f1 = frame(0);
    f1[2].x += 1.0f;
    EXPECT_EQ(capture.step(f1.data(), f1.size()), CaptureStepResult::KeptPrevious);
    EXPECT_EQ(*capture.transform(), previous);
    EXPECT_EQ(capture.records()[2].updates, 2);
    EXPECT_NEAR(capture.records()[2].jitter, 1.0, 1e-6);
    expectNear(capture.records()[4], expected(4, 0, 0), 1e-3);
}

TEST_F(SyntheticCapture, FrameWithoutKnownMarkersIsSkipped) {
    CaptureState capture;
    capture.addMarkers(kBody.size());
    seen = {false, false, false, false, false, false};
    auto empty = frame(0);
    EXPECT_EQ(capture.step(empty.data(), empty.size()), CaptureStepResult::Skipped);
    EXPECT_EQ(capture.referenceIndex(), -1);

    seen = {true, true, false, false, false, false};
    auto f0 = frame(0);
    capture.step(f0.data(), f0.size());
    seen = {false, false, true, true, false, false};  // only new markers
    auto f1 = frame(1);
    EXPECT_EQ(capture.step(f1.data(), f1.size()), CaptureStepResult::Skipped);
    EXPECT_EQ(capture.records()[2].updates, 0);
    EXPECT_EQ(capture.records()[0].updates, 1);
}

TEST_F(SyntheticCapture, NonFinitePositionsDoNotReachTheAverages) {
    CaptureState capture;
    capture.addMarkers(kBody.size());
    auto f0 = frame(0);
    capture.step(f0.data(), f0.size());
    auto f1 = frame(1);
    f1[3].y = std::numeric_limits<float>::quiet_NaN();
    f1[4].z = std::numeric_limits<float>::infinity();
    EXPECT_EQ(capture.step(f1.data(), f1.size()), CaptureStepResult::Fitted);
    EXPECT_EQ(capture.records()[3].updates, 1);
    EXPECT_EQ(capture.records()[4].updates, 1);
    for (std::size_t i = 0; i < kBody.size(); ++i) expectNear(capture.records()[i], expected(i, 0, 0), 1e-3);
}

TEST_F(SyntheticCapture, GlobalCoordinatesKeepTheServerOrigin) {
    CaptureState capture(true);
    capture.addMarkers(kBody.size());
    for (int i = 0; i < 5; ++i) {
        auto f = frame(i);
        capture.step(f.data(), f.size());
    }
    for (std::size_t i = 0; i < kBody.size(); ++i)
        expectNear(capture.records()[i], transformPoint(poseAt(0), kBody[i]), 1e-3);
}

TEST_F(SyntheticCapture, MarkersBeyondTheRecordsAreIgnored) {
    CaptureState capture;
    capture.addMarkers(2);
    auto f0 = frame(0);
    capture.step(f0.data(), f0.size());
    ASSERT_EQ(capture.records().size(), 2u);
    EXPECT_EQ(capture.records()[1].updates, 1);
}
