#include "rigid_fit.h"

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace numerics;

namespace {

Mat3 randomRotation(std::mt19937& rng) {
    std::normal_distribution<double> g;
    Eigen::Quaterniond q(g(rng), g(rng), g(rng), g(rng));
    q.normalize();
    const Eigen::Matrix3d r = q.toRotationMatrix();
    Mat3 out;
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row) out[row + 3 * c] = r(row, c);
    return out;
}

std::vector<Vec3> randomPoints(std::mt19937& rng, int count) {
    std::uniform_real_distribution<double> u(-100, 100);
    std::vector<Vec3> pts(count);
    for (Vec3& p : pts) p = {u(rng), u(rng), u(rng)};
    return pts;
}

CaptureAccumulator accumulate(const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
    CaptureAccumulator acc;
    for (std::size_t i = 0; i < a.size(); ++i) acc.add(a[i], b[i]);
    return acc;
}

double maxDifference(const Mat4& x, const Mat4& y) {
    double d = 0;
    for (int i = 0; i < 16; ++i) d = std::max(d, std::abs(x[i] - y[i]));
    return d;
}

Mat3 rotationOf(const Mat4& t) { return {t[0], t[1], t[2], t[4], t[5], t[6], t[8], t[9], t[10]}; }

}  // namespace

TEST(CaptureAccumulator, AddSumsPairsAndResets) {
    CaptureAccumulator acc;
    EXPECT_EQ(acc.add({1, 2, 3}, {4, 5, 6}), 1);
    EXPECT_EQ(acc.add({1, 0, 0}, {0, 0, 1}), 2);
    EXPECT_EQ(acc.sa, (Vec3{2, 2, 3}));
    EXPECT_EQ(acc.sb, (Vec3{4, 5, 7}));
    EXPECT_EQ(acc.sab[0 * 3 + 2], 1 * 6 + 1 * 1);  // a_x * b_z
    EXPECT_EQ(acc.sab[2 * 3 + 0], 3 * 4);          // a_z * b_x
    acc.reset();
    EXPECT_EQ(acc.n, 0);
    EXPECT_EQ(acc.sab, Mat3{});
}

TEST(CaptureAccumulator, RecoversRandomRigidMotions) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> shift(-1000, 1000);
    std::normal_distribution<double> noise(0, 0.05);
    for (int trial = 0; trial < 50; ++trial) {
        const Mat4 truth = makeTransform(randomRotation(rng), {shift(rng), shift(rng), shift(rng)});
        const auto a = randomPoints(rng, 3 + trial % 10);
        std::vector<Vec3> b, noisy;
        for (const Vec3& p : a) {
            b.push_back(transformPoint(truth, p));
            noisy.push_back({b.back()[0] + noise(rng), b.back()[1] + noise(rng), b.back()[2] + noise(rng)});
        }
        const auto exact = accumulate(a, b).fit();
        ASSERT_TRUE(exact);
        EXPECT_LT(maxDifference(*exact, truth), 1e-9) << "trial " << trial;

        const auto fitted = accumulate(a, noisy).fit();
        ASSERT_TRUE(fitted);
        for (std::size_t i = 0; i < a.size(); ++i) {
            const Vec3 p = transformPoint(*fitted, a[i]);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], b[i][k], 0.25);
        }
    }
}

TEST(CaptureAccumulator, ReflectedConfigurationGivesProperRotation) {
    // b is a mirror image of a: the unconstrained best fit is a reflection.
    std::mt19937 rng(3);
    const auto a = randomPoints(rng, 8);
    std::vector<Vec3> b;
    for (const Vec3& p : a) b.push_back({-p[0] + 5, p[1], p[2]});
    const auto t = accumulate(a, b).fit();
    ASSERT_TRUE(t);
    const Mat3 r = rotationOf(*t);
    EXPECT_NEAR(det3(r), 1.0, 1e-9);
    const Mat3 rtr = mul3(transpose3(r), r);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(rtr[i], kIdentity3[i], 1e-9);
}

TEST(CaptureAccumulator, TwoMarkersGiveATransformThroughBoth) {
    std::mt19937 rng(11);
    const Mat4 truth = makeTransform(randomRotation(rng), {10, -20, 30});
    const std::vector<Vec3> a = {{0, 0, 0}, {100, 50, -20}};
    const std::vector<Vec3> b = {transformPoint(truth, a[0]), transformPoint(truth, a[1])};
    const auto t = accumulate(a, b).fit();
    ASSERT_TRUE(t);
    EXPECT_NEAR(det3(rotationOf(*t)), 1.0, 1e-9);
    for (int i = 0; i < 2; ++i) {
        const Vec3 p = transformPoint(*t, a[i]);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], b[i][k], 1e-9);
    }
}

TEST(CaptureAccumulator, AgreesWithEigenUmeyama) {
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 0.5);
    for (int trial = 0; trial < 20; ++trial) {
        const Mat4 truth = makeTransform(randomRotation(rng), {1, 2, 3});
        const auto a = randomPoints(rng, 6);
        Eigen::Matrix3Xd src(3, a.size()), dst(3, a.size());
        std::vector<Vec3> b;
        for (std::size_t i = 0; i < a.size(); ++i) {
            Vec3 p = transformPoint(truth, a[i]);
            for (double& x : p) x += noise(rng);
            b.push_back(p);
            src.col(i) << a[i][0], a[i][1], a[i][2];
            dst.col(i) << p[0], p[1], p[2];
        }
        const Eigen::Matrix4d reference = Eigen::umeyama(src, dst, false);
        const auto t = accumulate(a, b).fit();
        ASSERT_TRUE(t);
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                EXPECT_NEAR((*t)[r + 4 * c], reference(r, c), 1e-9) << "trial " << trial;
    }
}

TEST(CaptureAccumulator, NonFiniteCrossCovarianceGivesNoFit) {
    CaptureAccumulator acc;
    acc.add({0, 0, 0}, {1, 1, 1});
    acc.add({std::numeric_limits<double>::quiet_NaN(), 0, 0}, {2, 2, 2});
    EXPECT_FALSE(acc.fit());
    acc.reset();
    acc.add({0, 0, 0}, {1, 1, 1});
    acc.add({std::numeric_limits<double>::infinity(), 0, 0}, {2, 2, 2});
    EXPECT_FALSE(acc.fit());
}
