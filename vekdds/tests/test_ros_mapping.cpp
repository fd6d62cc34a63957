// What ROS 2 gets of a frame without DDS: REP 103 axes in metres, stamps by
// the clock rule, names as ROS 2 spells them, only what was seen, and
// command lines that would break any of it refused.
#include <gtest/gtest.h>
#include <time.h>

#include <cmath>
#include <cstring>

#include "options.h"
#include "ros_mapping.h"

using namespace vekdds;

namespace {

Vec3 rotate(const Quaternion& q, const Vec3& v) {  // q v q*
    const Vec3 u{q.x, q.y, q.z};
    const Vec3 t{2 * (u.y * v.z - u.z * v.y), 2 * (u.z * v.x - u.x * v.z), 2 * (u.x * v.y - u.y * v.x)};
    return {v.x + q.w * t.x + (u.y * t.z - u.z * t.y), v.y + q.w * t.y + (u.z * t.x - u.x * t.z),
            v.z + q.w * t.z + (u.x * t.y - u.y * t.x)};
}

void expectNear(const Vec3& a, const Vec3& b, double tolerance = 1e-9) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

bool parses(std::vector<const char*> args, std::string& error, Options* out = nullptr) {
    args.insert(args.begin(), "vekdds");
    Options o;
    error.clear();
    const bool ok = parseOptions(static_cast<int>(args.size()), args.data(), o, error);
    if (out) *out = o;
    return ok;
}

}  // namespace

TEST(RosMapping, CaptureAxesTurnUprightIntoRep103InMetres) {
    const float up[3] = {0, 1000, 0}, right[3] = {1000, 0, 0}, towards[3] = {0, 0, 2000};
    expectNear(rep103Position(up), {0, 0, 1});  // up stays up: REP 103's z
    expectNear(rep103Position(right), {1, 0, 0});
    expectNear(rep103Position(towards), {0, -2, 0});
    // A turn, not a mirror: x cross y is z on both sides.
    const Vec3 x = rep103Axes({1, 0, 0}), y = rep103Axes({0, 1, 0}), z = rep103Axes({0, 0, 1});
    expectNear({x.y * y.z - x.z * y.y, x.z * y.x - x.x * y.z, x.x * y.y - x.y * y.x}, z);

    // A body's pose re-expressed with its own frame: the mapped pose puts the
    // mapped body point where the capture pose puts the point, mapped.
    const double half = 0.61, n = std::sqrt(0.2 * 0.2 + 0.5 * 0.5 + 0.7 * 0.7);
    const float wxyz[4] = {float(std::cos(half)), float(std::sin(half) * 0.2 / n),
                           float(std::sin(half) * 0.5 / n), float(std::sin(half) * -0.7 / n)};
    const float t[3] = {120, 850, -40};
    const Quaternion capture{wxyz[1], wxyz[2], wxyz[3], wxyz[0]};
    const Vec3 body{30, -12, 55};
    const Vec3 inWorld = rotate(capture, body);
    const float world[3] = {float(inWorld.x + t[0]), float(inWorld.y + t[1]), float(inWorld.z + t[2])};
    const Quaternion q = rep103Rotation(wxyz);
    const Vec3 bodyRos = rep103Axes({body.x / 1000, body.y / 1000, body.z / 1000});
    const Vec3 moved = rotate(q, bodyRos), at = rep103Position(t);
    expectNear({moved.x + at.x, moved.y + at.y, moved.z + at.z}, rep103Position(world), 1e-6);
    EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0, 1e-6);
}

TEST(RosMapping, StampsAreCaptureTimesOnThisMachinesRealtimeClock) {
    timespec steady{}, real{};
    clock_gettime(CLOCK_MONOTONIC, &steady);
    clock_gettime(CLOCK_REALTIME, &real);
    const int64_t steadyNs = steady.tv_sec * 1'000'000'000LL + steady.tv_nsec;
    const int64_t offsetNs = (real.tv_sec * 1'000'000'000LL + real.tv_nsec) - steadyNs;
    EXPECT_NEAR(double(realtimeMinusSteadyNs()), double(offsetNs), 1e6);
    EXPECT_NEAR(double(realtimeNowNs()), double(steadyNs + offsetNs), 1e8);

    const Stamp s = stampOf(1'700'000'000'123'456'789LL);
    EXPECT_EQ(s.sec, 1'700'000'000);
    EXPECT_EQ(s.nanosec, 123'456'789u);
}

TEST(RosMapping, NamesAreAsRos2SpellsThem) {
    EXPECT_EQ(ddsTopic(poseTopic("vek", "body")), "rt/vek/body/pose");
    EXPECT_EQ(ddsTopic(markersTopic("lab/vek")), "rt/lab/vek/markers");
    EXPECT_EQ(ddsTopic(kTfTopic), "rt/tf");
    EXPECT_EQ(trackerName("lab/rigid.bodies/body.rb"), "body");
    EXPECT_EQ(trackerName(7), "tracker7");
    for (const char* good : {"body", "Body_2", "_hidden", "a_b_c"}) EXPECT_TRUE(validRosToken(good)) << good;
    for (const char* bad : {"", "2body", "a__b", "my-body", "a/b", "é", "a b"})
        EXPECT_FALSE(validRosToken(bad)) << bad;
    EXPECT_TRUE(validRosNamespace("lab/vek"));
    for (const char* bad : {"lab//vek", "lab/", "/lab", "lab/2nd"})
        EXPECT_FALSE(validRosNamespace(bad)) << bad;
    EXPECT_TRUE(validFrameId("odom"));
    EXPECT_FALSE(validFrameId("/world"));
}

TEST(RosMapping, OnlyWhatWasSeenGoesOut) {
    RigidRecord rigids[3] = {};
    rigids[0] = {4, 9, {10, 20, 30, 1, 0, 0, 0}, 1.5f, 6};
    rigids[1] = {5, 9, {0, 0, 0, 1, 0, 0, 0}, 0, 0};       // not found: a zero pose
    rigids[2] = {6, 9, {NAN, 0, 0, 1, 0, 0, 0}, 2.0f, 5};  // no number
    MarkerRecord markers[4] = {{1, 9, 1, 2, 3, 1.2f, 0},
                               {2, 9, 0, 0, 0, 0, 0},
                               {3, 9, 4, 5, 6, 1.5f, VEK_MARKER_FILLED},
                               {4, 9, 7, INFINITY, 9, 1.1f, 0}};
    vekwire::FrameView view;
    view.header.frame = 9;
    view.header.generatedUs = 1000;
    view.records[VEK_RIGID_STREAM] = reinterpret_cast<const uint8_t*>(rigids);
    view.count[VEK_RIGID_STREAM] = 3;
    view.records[VEK_MARKER_STREAM] = reinterpret_cast<const uint8_t*>(markers);
    view.count[VEK_MARKER_STREAM] = 4;
    RosFrame frame;
    frame.bodies.resize(5);  // what a previous frame left is not kept
    toRos(view, 1'700'000'000'123'456'789LL, frame);
    EXPECT_EQ(frame.stamp.nanosec, 123'456'789u);
    ASSERT_EQ(frame.bodies.size(), 1u);
    EXPECT_EQ(frame.bodies[0].tracker, 4);
    expectNear(frame.bodies[0].position, {0.010, -0.030, 0.020});
    ASSERT_EQ(frame.markers.size(), 1u);
    EXPECT_EQ(frame.markers[0].id, 1u);
    EXPECT_FLOAT_EQ(frame.markers[0].y, -0.003f);
}

TEST(RosMapping, HostileCommandLinesAreRefusedWithAReason) {
    std::string error;
    Options o;
    ASSERT_TRUE(parses({"-s", "lab:8998", "-t", "a/wand.rb", "floor.pt", "--domain", "232", "--prefix",
                        "/lab/vek", "--frame-id", "map", "--rate", "480", "--best-effort"},
                       error, &o))
        << error;
    EXPECT_EQ(o.trackers.size(), 2u);
    EXPECT_EQ(o.trackers[0].name, "wand");
    EXPECT_TRUE(o.trackers[0].rigid);
    EXPECT_FALSE(o.trackers[1].rigid);
    EXPECT_EQ(o.prefix, "lab/vek");
    EXPECT_EQ(*o.domain, 232);

    const std::vector<std::pair<std::vector<const char*>, const char*>> refused = {
        {{"--domain", "233"}, "--domain"},
        {{"--domain", "-1"}, "--domain"},
        {{"--domain", "1e3"}, "--domain"},
        {{"--domain"}, "missing value"},
        {{"--prefix", "a__b"}, "--prefix"},
        {{"--prefix", ""}, "--prefix"},
        {{"--frame-id", "/world"}, "--frame-id"},
        {{"--rate", "0"}, "--rate"},
        {{"--rate", "nan"}, "--rate"},
        {{"--rate", "1e99"}, "--rate"},
        {{"-t"}, "-t needs"},
        {{"-t", "body.txt"}, ".rb"},
        {{"-t", "my-body.rb"}, "ROS 2 name"},
        {{"-t", "a/body.rb", "b/body.pt"}, "both"},
        {{"-t", "world.rb"}, "own parent"},
        {{"-s", ""}, "-s"},
        {{"--bogus"}, "unknown option"},
        {{"-t", "\x1b[2J.rb"}, "?[2J"},
    };
    for (const auto& [args, says] : refused) {
        EXPECT_FALSE(parses(args, error)) << args[0];
        EXPECT_NE(error.find(says), std::string::npos) << args[0] << ": " << error;
    }
    int domain = -1;
    EXPECT_TRUE(resolveDomain(std::nullopt, nullptr, domain, error) && domain == 0);
    EXPECT_TRUE(resolveDomain(std::nullopt, "", domain, error) && domain == 0);
    EXPECT_TRUE(resolveDomain(std::nullopt, "42", domain, error) && domain == 42);
    EXPECT_TRUE(resolveDomain(7, "42", domain, error) && domain == 7);  // --domain wins
    EXPECT_FALSE(resolveDomain(std::nullopt, "999", domain, error));
    EXPECT_NE(error.find("ROS_DOMAIN_ID"), std::string::npos);
}
