// The per-stream frame backlog and the pose helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "backlog.h"
#include "veksock.h"

using veksock::StreamBacklog;

TEST(StreamBacklog, HandsOutWholeFramesOldestFirstAndCountsDrops) {
    StreamBacklog b(sizeof(MarkerRecord), 3);
    MarkerRecord recs[4];
    for (int frame = 1; frame <= 5; ++frame) {
        for (int i = 0; i < 4; ++i) recs[i] = {i, frame, 0, 0, 0, 1, 0};
        b.push(frame, reinterpret_cast<const uint8_t*>(recs), 4);
    }
    EXPECT_EQ(b.dropped(), 2u);  // frames 1 and 2 made room
    MarkerRecord out[4];
    EXPECT_EQ(b.pop(out, 4), 4);
    EXPECT_EQ(out[0].frame, 3);
    EXPECT_EQ(out[3].id, 3);
    EXPECT_EQ(b.pop(out, 2), 2);  // never more than max; the rest of that frame is gone
    EXPECT_EQ(out[1].frame, 4);
    EXPECT_EQ(b.pop(out, 4), 4);
    EXPECT_EQ(out[0].frame, 5);
    EXPECT_EQ(b.pop(out, 4), 0);
    b.reset();
    EXPECT_EQ(b.dropped(), 0u);
}

namespace {

void expectPose(const float* a, const float* b, float tol = 1e-5f) {
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(a[i], b[i], tol) << "element " << i;
}

// 90 degrees about z, then moved by (1, 2, 3).
const float kTurn[7] = {1, 2, 3, std::sqrt(0.5f), 0, 0, std::sqrt(0.5f)};
const float kIdentity[7] = {0, 0, 0, 1, 0, 0, 0};

}  // namespace

TEST(PoseHelpers, MatrixIsColumnMajorRigidTransform) {
    float m[16];
    convert_pm(kTurn, m);
    const float x[3] = {1, 0, 0};
    float out[3];
    mult_mv3_v3(m, x, out);  // x axis turns onto y, then moves
    EXPECT_NEAR(out[0], 1, 1e-6);
    EXPECT_NEAR(out[1], 3, 1e-6);
    EXPECT_NEAR(out[2], 3, 1e-6);
    EXPECT_EQ(m[12], 1);
    EXPECT_EQ(m[13], 2);
    EXPECT_EQ(m[14], 3);
    EXPECT_EQ(m[15], 1);
    EXPECT_EQ(m[3], 0);
}

TEST(PoseHelpers, CompositionInverseAndNormalisation) {
    float out[7];
    mult_pp(kIdentity, kTurn, out);
    expectPose(out, kTurn);
    mult_pp(kTurn, kIdentity, out);
    expectPose(out, kTurn);

    float inv[7];
    std::copy(kTurn, kTurn + 7, inv);
    invert_p(inv);
    mult_pp(kTurn, inv, out);
    expectPose(out, kIdentity);
    mult_pp(inv, kTurn, out);
    expectPose(out, kIdentity);

    // a o b applies b first: the point goes through b, then a.
    const float shift[7] = {10, 0, 0, 1, 0, 0, 0};
    mult_pp(kTurn, shift, out);
    float m[16];
    convert_pm(out, m);
    const float origin[3] = {0, 0, 0};
    float p[3];
    mult_mv3_v3(m, origin, p);
    EXPECT_NEAR(p[0], 1, 1e-5);
    EXPECT_NEAR(p[1], 12, 1e-5);

    float q[7] = {5, 6, 7, 2, 0, 0, 0};
    normalize_p(q);
    EXPECT_FLOAT_EQ(q[3], 1);
    EXPECT_EQ(q[0], 5);
    float zero[7] = {0, 0, 0, 0, 0, 0, 0};
    normalize_p(zero);  // no direction to keep: the identity rotation
    expectPose(zero, kIdentity);
}
