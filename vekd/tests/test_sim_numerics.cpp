// The simulator's numerical parts alone: Horn's rigid fit and the
// random deviates that make its noise.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry_horn.h"
#include "geometry_math.h"
#include "sim_random.h"

namespace vekd {
namespace {

TEST(SimulatorNoise, DeviatesAreStandardNormalAndStreamsIndependent) {
    // Fractions of |x| below 1, 2 and 3, and beyond 3.44 (the ziggurat's tail).
    const double expected[4] = {0.682689, 0.954500, 0.997300, 5.76e-4};
    const double bounds[4] = {1, 2, 3, 3.442619855899};
    FrameRandom frame(5, 17);
    int counts[4] = {0, 0, 0, 0};
    double sum = 0, sumSquares = 0;
    const int n = 1 << 20;
    for (int i = 0; i < n / 2; ++i) {
        FrameRandom stream = frame.stream(static_cast<uint64_t>(i));
        double x[2];
        stream.gaussians(x[0], x[1]);
        for (const double v : x) {
            for (int k = 0; k < 3; ++k) counts[k] += std::fabs(v) < bounds[k];
            counts[3] += std::fabs(v) > bounds[3];
            sum += v;
            sumSquares += v * v;
        }
    }
    for (int k = 0; k < 4; ++k) {
        const double p = expected[k];
        EXPECT_NEAR(counts[k] / double(n), p, 5 * std::sqrt(p * (1 - p) / n)) << "bound " << bounds[k];
    }
    EXPECT_NEAR(sum / n, 0, 0.005);
    EXPECT_NEAR(sumSquares / n, 1, 0.005);

    // A stream depends on its frame and index only.
    double a[2], b[2], c[2];
    FrameRandom(5, 17).stream(9).gaussians(a[0], a[1]);
    frame.stream(9).gaussians(b[0], b[1]);
    FrameRandom(5, 18).stream(9).gaussians(c[0], c[1]);
    EXPECT_EQ(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
    EXPECT_NE(a[0], c[0]);
}

TEST(HornFit, EigenDecompositionRebuildsTheMatrix) {
    const double m[4][4] = {{4, 1, -2, 0.5}, {1, -3, 0, 2}, {-2, 0, 1, 1}, {0.5, 2, 1, 0}};
    double values[4], vectors[4][4];
    symmetricEigen4(m, values, vectors);
    for (int k = 0; k < 3; ++k) EXPECT_GE(values[k], values[k + 1]);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double rebuilt = 0, orthogonality = 0;
            for (int k = 0; k < 4; ++k) {
                rebuilt += vectors[i][k] * values[k] * vectors[j][k];
                orthogonality += vectors[k][i] * vectors[k][j];
            }
            EXPECT_NEAR(rebuilt, m[i][j], 1e-12);
            EXPECT_NEAR(orthogonality, i == j ? 1.0 : 0.0, 1e-12);
        }
}

TEST(HornFit, RecoversExactPosesIncludingHalfTurns) {
    std::mt19937 random(4);
    std::uniform_real_distribution<double> spread(-100, 100);
    std::vector<Pose> poses;
    for (const Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}, normalized(Vec3{1, -2, 3})})
        poses.push_back({{10, -20, 30}, axisAngle(axis, kPi)});  // scalar part 0
    for (int k = 0; k < 50; ++k) {
        const Quat q = normalized(Quat{spread(random), spread(random), spread(random), spread(random)});
        poses.push_back({{spread(random) * 20, spread(random) * 20, spread(random) * 20}, q});
    }
    for (const int n : {3, 4, 7}) {
        for (const Pose& truth : poses) {
            std::vector<Vec3> body, world;
            for (int i = 0; i < n; ++i) {
                body.push_back({spread(random), spread(random), spread(random)});
                world.push_back(apply(truth, body.back()));
            }
            Pose fitted;
            double rms = -1;
            ASSERT_TRUE(fitRigidHorn(body.data(), world.data(), n, fitted, rms));
            EXPECT_LT(rms, 1e-9);
            EXPECT_LT(norm(fitted.position - truth.position), 1e-9);
            EXPECT_LT(angleBetween(fitted.rotation, truth.rotation), 1e-9);
            EXPECT_GE(fitted.rotation.w, 0);
        }
    }
}

TEST(HornFit, NoisyPointsGiveTheirResidual) {
    const Vec3 body[4] = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, 0, 100}};
    const Pose truth{{5, 6, 7}, axisAngle({0, 0, 1}, 0.3)};
    Vec3 world[4];
    const Vec3 errors[4] = {{0.1, 0, 0}, {-0.1, 0, 0}, {0, 0.1, 0}, {0, -0.1, 0}};
    for (int i = 0; i < 4; ++i) world[i] = apply(truth, body[i]) + errors[i];
    Pose fitted;
    double rms = 0;
    ASSERT_TRUE(fitRigidHorn(body, world, 4, fitted, rms));
    EXPECT_GT(rms, 0.05);
    EXPECT_LT(rms, 0.1);
    EXPECT_LT(norm(fitted.position - truth.position), 0.2);
}

TEST(HornFit, RefusesTooFewOrCollinearPoints) {
    const Vec3 line[3] = {{0, 0, 0}, {1, 1, 1}, {5, 5, 5}};
    Pose pose;
    double rms = 0;
    EXPECT_FALSE(fitRigidHorn(line, line, 3, pose, rms));
    EXPECT_FALSE(fitRigidHorn(line, line, 2, pose, rms));
    const Vec3 same[3] = {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}};
    EXPECT_FALSE(fitRigidHorn(same, same, 3, pose, rms));
}

}  // namespace
}  // namespace vekd
