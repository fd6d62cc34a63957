// The simulator against ground truth: peaks against an independent
// projection, markers and poses against the scene's true LED positions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "scene.h"
#include "simulator.h"
#include "simulator_scenes.h"
#include "trackers.h"

namespace vekd {
namespace {

// Independent projection of a world point through a reported camera:
// rotation matrix from the pose quaternion, tangent model.
struct Projection {
    bool inFront = false;
    double pos[2] = {0, 0};
};

Projection project(const VEKCamera& camera, const SceneCamera& geometry, const float world[3]) {
    const double w = camera.pose[3], x = camera.pose[4], y = camera.pose[5], z = camera.pose[6];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    double d[3], q[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) d[i] = world[i] - camera.pose[i];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) q[i] += r[k][i] * d[k];  // transpose: world -> camera
    Projection p;
    const double depth = -q[2];
    p.inFront = depth > 0;
    const double pi = 3.14159265358979323846;
    p.pos[0] = 0.5 - q[0] / depth / (2 * std::tan(geometry.hfovDegrees * pi / 360));
    p.pos[1] = 0.5 + q[1] / depth / (2 * std::tan(geometry.vfovDegrees * pi / 360));
    return p;
}

TEST(SimulatorReconstruction, MarkersLieWithinTheNoiseOfTheTruth) {
    for (const double noise : {0.05, 0.0}) {
        Scene scene = defaultScene();
        scene.noisePixels = noise;
        Simulator sim(scene, 7);
        TrackerTable table;
        const std::vector<int> leds = allLedIds(scene);
        addPointTracker(table, 1, leds);
        FrameData frame;
        double sum = 0, worst = 0;
        int seen = 0;
        for (int f = 0; f < 300; ++f) {
            const double t = f / kRate;
            sim.generate(f, t, table, frame);
            ASSERT_EQ(frame.markers.size(), leds.size());
            for (size_t i = 0; i < leds.size(); ++i) {
                if (frame.markers[i].cond <= 0) continue;
                const double e = distanceToTruth(scene, leds[i], t, frame.markers[i]);
                sum += e;
                worst = std::max(worst, e);
                ++seen;
            }
        }
        ASSERT_GT(seen, 300 * 20);
        if (noise > 0) {
            EXPECT_LT(sum / seen, 0.2) << "mean error, mm";
            EXPECT_LT(worst, 1.5) << "largest error, mm";
        } else {
            EXPECT_LT(worst, 1e-3) << "largest error without noise, mm";
        }
    }
}

TEST(SimulatorReconstruction, ConditionGrowsWithNoise) {
    Scene scene = defaultScene();
    TrackerTable table;
    addPointTracker(table, 1, {0, 1, 2, 3, 4, 5});
    double condition[2] = {0, 0};
    int index = 0;
    for (const double noise : {0.05, 2.0}) {
        scene.noisePixels = noise;
        Simulator sim(scene, 3);
        FrameData frame;
        sim.generate(10, 0.1, table, frame);
        for (const MarkerRecord& m : frame.markers) {
            ASSERT_GT(m.cond, 1.0f);
            condition[index] += m.cond;
        }
        ++index;
    }
    EXPECT_GT(condition[1], 5 * condition[0]);
}

TEST(SimulatorPeaks, MatchAnIndependentProjectionOfTheTruth) {
    Scene scene = defaultScene();
    scene.noisePixels = 0;
    Simulator sim(scene, 1);
    TrackerTable table;
    const std::vector<int> leds = allLedIds(scene);
    addPointTracker(table, 2, leds);
    FrameData frame;
    int checked = 0;
    for (int f = 0; f < 200; f += 7) {
        const double t = f / kRate;
        sim.generate(f, t, table, frame);
        std::set<std::pair<int, int>> reported;  // (camera, LED) seen on detector 0
        int lastCamera = 0, lastDetector = 0;
        for (const ImageRecord& image : frame.images) {
            ASSERT_EQ(image.frame, f);
            ASSERT_GE(image.id, vek_marker_id(2, 0));
            const int led = leds[vek_marker_index(image.id)];
            ASSERT_TRUE(image.camera > lastCamera ||
                        (image.camera == lastCamera && image.detector >= lastDetector))
                << "peaks in camera order, detector 0 then 1";
            lastCamera = image.camera;
            lastDetector = image.detector;
            float truth[3];
            ASSERT_TRUE(ledPosition(scene, led, t, truth));
            const Projection p = project(sim.cameras()[image.camera], scene.cameras[image.camera], truth);
            ASSERT_TRUE(p.inFront);
            EXPECT_NEAR(image.pos, p.pos[image.detector], 2e-6)
                << "camera " << image.camera << " LED " << led;
            EXPECT_GE(image.width, 2);
            EXPECT_GT(image.amp, 0);
            if (image.detector == 0) reported.insert({image.camera, led});
            ++checked;
        }
        // Every LED inside both detectors and inside its cone is reported.
        for (size_t c = 0; c < scene.cameras.size(); ++c) {
            for (size_t i = 0; i < scene.leds.size(); ++i) {
                const SceneLed& led = scene.leds[i];
                float truth[3];
                ledPosition(scene, led.id, t, truth);
                const Projection p = project(sim.cameras()[c], scene.cameras[c], truth);
                const Vec3 axis = led.body < 0
                                      ? led.direction
                                      : rotate(bodyPose(scene.bodies[led.body], t).rotation, led.direction);
                const Vec3 toCamera =
                    normalized(scene.cameras[c].position - Vec3{truth[0], truth[1], truth[2]});
                const double margin = dot(axis, toCamera) - std::cos(led.coneDegrees * kPi / 180);
                const bool inside = p.inFront && p.pos[0] > 0 && p.pos[0] < 1 && p.pos[1] > 0 && p.pos[1] < 1;
                if (std::fabs(margin) < 1e-6) continue;  // on the cone's edge
                EXPECT_EQ(inside && margin > 0, reported.count({int(c), led.id}) == 1)
                    << "camera " << c << " LED " << led.id << " frame " << f;
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST(SimulatorPeaks, NoiseHasTheConfiguredSigmaInPixels) {
    Scene scene = defaultScene();
    scene.noisePixels = 0.5;
    Simulator sim(scene, 8);
    TrackerTable table;
    const std::vector<int> leds = allLedIds(scene);
    addPointTracker(table, 1, leds);
    FrameData frame;
    double sum = 0, sumSquares = 0;
    int n = 0;
    for (int f = 0; f < 40; ++f) {
        const double t = f / kRate;
        sim.generate(f, t, table, frame);
        for (const ImageRecord& image : frame.images) {
            float truth[3];
            ledPosition(scene, leds[vek_marker_index(image.id)], t, truth);
            const Projection p = project(sim.cameras()[image.camera], scene.cameras[image.camera], truth);
            const double error = (image.pos - p.pos[image.detector]) * double(VEK_DETECTOR_PIXELS);
            sum += error;
            sumSquares += error * error;
            ++n;
        }
    }
    ASSERT_GT(n, 10000);
    EXPECT_NEAR(sum / n, 0, 0.02);
    EXPECT_NEAR(std::sqrt(sumSquares / n), 0.5, 0.02);
}

TEST(SimulatorPeaks, LedsOutsideEnabledTrackersHaveNoId) {
    const Scene scene = defaultScene();
    Simulator sim(scene, 1);
    TrackerTable table;
    addPointTracker(table, 4, {16, 17}, false);  // disabled: does not name its LEDs
    addPointTracker(table, 5, {17, 18});
    addPointTracker(table, 6, {18, 19});  // LED 18 belongs to tracker 5 first
    FrameData frame;
    sim.generate(0, 0.0, table, frame);
    std::map<int, std::set<int>> idsByLed;  // floor LEDs are identified by their position
    for (const ImageRecord& image : frame.images) idsByLed[image.id].insert(image.camera);
    EXPECT_EQ(idsByLed.count(vek_marker_id(4, 0)), 0u);
    EXPECT_EQ(idsByLed.count(vek_marker_id(5, 0)), 1u);  // LED 17
    EXPECT_EQ(idsByLed.count(vek_marker_id(5, 1)), 1u);  // LED 18
    EXPECT_EQ(idsByLed.count(vek_marker_id(6, 0)), 0u);
    EXPECT_EQ(idsByLed.count(vek_marker_id(6, 1)), 1u);  // LED 19
    EXPECT_EQ(idsByLed.count(-1), 1u);
    for (const auto& [id, cameras] : idsByLed) EXPECT_TRUE(id == -1 || id >= vek_marker_id(1, 0));
}

TEST(SimulatorPeaks, DetectorRecordsDescribeEachDetector) {
    const Scene scene = defaultScene();
    Simulator sim(scene, 1);
    TrackerTable table;
    FrameData frame;
    sim.generate(42, 0.42, table, frame);
    ASSERT_EQ(frame.detectors.size(), 2 * scene.cameras.size());
    size_t peaks = 0;
    for (size_t k = 0; k < frame.detectors.size(); ++k) {
        const DetectorRecord& d = frame.detectors[k];
        EXPECT_EQ(d.id, static_cast<int>(k));
        EXPECT_EQ(d.camera * 2 + d.detector, d.id);
        EXPECT_EQ(d.frame, 42);
        EXPECT_EQ(d.pixels, VEK_DETECTOR_PIXELS);
        EXPECT_FLOAT_EQ(d.noise, 0.05f);
        EXPECT_GT(d.exposure, 0);
        float maxAmp = 0;
        int count = 0;
        for (const ImageRecord& image : frame.images)
            if (image.camera == d.camera && image.detector == d.detector) {
                ++count;
                maxAmp = std::max(maxAmp, image.amp);
            }
        EXPECT_EQ(d.peaks, count);
        EXPECT_EQ(d.maxAmp, maxAmp);
        peaks += d.peaks;
    }
    EXPECT_EQ(peaks, frame.images.size());
    EXPECT_GT(peaks, 200u);
}

TEST(SimulatorPeaks, CloseLedsSaturateAndGrowWide) {
    const Scene scene = sceneFromText(
        "camera 1 0 0 1000 0 0 0 60 60\n"
        "led 1 static 0 0 0 0 0 1\n"
        "led 2 static 200 0 -2000 0 0 1\n");
    Simulator sim(scene, 1);
    TrackerTable table;
    FrameData frame;
    sim.generate(0, 0, table, frame);
    ASSERT_EQ(frame.images.size(), 4u);
    EXPECT_EQ(frame.images[0].flags, 1);
    EXPECT_FLOAT_EQ(frame.images[0].amp, Simulator::kSaturationAmp);
    EXPECT_EQ(frame.images[0].width, 12);
    EXPECT_EQ(frame.images[1].flags, 0);
    EXPECT_LT(frame.images[1].amp, frame.images[0].amp);
    EXPECT_EQ(frame.images[1].width, 4);
}

TEST(SimulatorMarkers, StreamListsEnabledTrackersInCreationAndIndexOrder) {
    const Scene scene = defaultScene();
    Simulator sim(scene, 1);
    TrackerTable table;
    addPointTracker(table, 9, {20, 21});
    addPointTracker(table, 3, {16, 999}, false);
    ASSERT_EQ(table.create(7, VEK_CREATE, VEK_POINT_TRACKER), 0);
    ASSERT_EQ(table.setMarkerLed(vek_marker_id(7, 5), VEK_MARKER_LED, 22), 0);
    ASSERT_EQ(table.setMarkerLed(vek_marker_id(7, 1), VEK_MARKER_LED, 999), 0);  // no such LED
    ASSERT_EQ(table.setMarkerLed(vek_marker_id(7, 3), VEK_MARKER_LED, 23), 0);
    ASSERT_EQ(table.operate(7, VEK_ON), 0);
    FrameData frame;
    sim.generate(5, 0.05, table, frame);
    const int expected[] = {vek_marker_id(9, 0), vek_marker_id(9, 1), vek_marker_id(7, 1),
                            vek_marker_id(7, 3), vek_marker_id(7, 5)};
    ASSERT_EQ(frame.markers.size(), std::size(expected));
    for (size_t i = 0; i < frame.markers.size(); ++i) {
        const MarkerRecord& m = frame.markers[i];
        EXPECT_EQ(m.id, expected[i]);
        EXPECT_EQ(m.frame, 5);
        EXPECT_EQ(m.flags, 0u);
        if (m.id == vek_marker_id(7, 1)) {
            EXPECT_EQ(m.cond, 0.0f);
            EXPECT_EQ(m.x, 0.0f);
            EXPECT_EQ(m.y, 0.0f);
            EXPECT_EQ(m.z, 0.0f);
        } else {
            EXPECT_GT(m.cond, 0.0f);
        }
    }
    EXPECT_TRUE(frame.rigids.empty());
}

TEST(SimulatorRigids, PoseMatchesTheBodyAndFillsUnseenMarkers) {
    Scene scene = defaultScene();
    Simulator sim(scene, 11);
    TrackerTable table;
    // Tracker 2: the wand plus a marker on an LED the scene lacks (never seen).
    addRigidTracker(table, 2, scene, {0, 1, 2, 3, 4, 5, 777}, 1.0f);
    // Tracker 4: the same without filling.
    addRigidTracker(table, 4, scene, {0, 1, 2, 3, 4, 5, 777}, 0.0f);
    ASSERT_EQ(table.setMarkerLed(vek_marker_id(4, 7), VEK_MARKER_LED, 778), 0);  // no body-frame position
    FrameData frame;
    int found = 0;
    for (int f = 0; f < 300; f += 3) {
        const double t = f / kRate;
        sim.generate(f, t, table, frame);
        ASSERT_EQ(frame.rigids.size(), 2u);
        ASSERT_EQ(frame.markers.size(), 15u);
        const RigidRecord& rigid = frame.rigids[0];
        EXPECT_EQ(rigid.id, 2);
        EXPECT_EQ(rigid.frame, f);
        if (rigid.cond <= 0) continue;
        ++found;
        const Pose truth = bodyPose(scene.bodies[0], t);
        const Vec3 position{rigid.pose[0], rigid.pose[1], rigid.pose[2]};
        EXPECT_LT(norm(position - truth.position), 0.5) << "frame " << f;
        const Quat rotation{rigid.pose[3], rigid.pose[4], rigid.pose[5], rigid.pose[6]};
        EXPECT_LT(angleBetween(rotation, truth.rotation) * 180 / kPi, 0.1) << "frame " << f;
        EXPECT_EQ(rigid.word, 6u);

        const MarkerRecord& filled = frame.markers[6];
        EXPECT_EQ(filled.id, vek_marker_id(2, 6));
        EXPECT_EQ(filled.flags, 0x10u);
        EXPECT_EQ(filled.cond, rigid.cond);
        const Vec3 predicted = apply(truth, {60, 20, 30});
        EXPECT_LT(norm(Vec3{filled.x, filled.y, filled.z} - predicted), 1.0);
        for (int k = 0; k < 6; ++k) EXPECT_EQ(frame.markers[k].flags, 0u);

        EXPECT_EQ(frame.rigids[1].cond, rigid.cond);
        EXPECT_EQ(frame.markers[13].cond, 0.0f) << "no fill when the option is 0";
        EXPECT_EQ(frame.markers[14].cond, 0.0f) << "no body-frame position, nothing to fill";
    }
    EXPECT_GT(found, 95);
}

TEST(SimulatorRigids, WithoutThreeMarkersOrOnALineThePoseIsNotFound) {
    const Scene scene = sceneFromText(
        "camera 1 3000 0 2000 0 0 1000 60 60\n"
        "camera 2 0 3000 2000 0 0 1000 60 60\n"
        "body bar 0 0 1000\n"
        "led 1 bar 0 0 0 0 0 1\n"
        "led 2 bar 100 0 0 0 0 1\n"
        "led 3 bar 200 0 0 0 0 1\n"
        "led 4 bar 0 100 0 0 0 1\n");
    Simulator sim(scene, 1);
    TrackerTable table;
    addRigidTracker(table, 1, scene, {1, 2, 3}, 1.0f);  // collinear
    addRigidTracker(table, 2, scene, {1, 2}, 1.0f);     // too few
    addRigidTracker(table, 3, scene, {1, 2, 4}, 1.0f);  // fine
    FrameData frame;
    sim.generate(0, 0, table, frame);
    ASSERT_EQ(frame.rigids.size(), 3u);
    for (int k = 0; k < 2; ++k) {
        const RigidRecord& r = frame.rigids[k];
        EXPECT_EQ(r.cond, 0.0f);
        EXPECT_EQ(r.word, 0u);
        const float identity[7] = {0, 0, 0, 1, 0, 0, 0};
        EXPECT_EQ(std::memcmp(r.pose, identity, sizeof identity), 0);
    }
    EXPECT_GT(frame.rigids[2].cond, 0.0f);
    EXPECT_EQ(frame.rigids[2].word, 3u);
    for (const MarkerRecord& m : frame.markers) EXPECT_EQ(m.flags, 0u);
}

TEST(SimulatorDeterminism, FrameDependsOnlyOnSeedFrameAndTime) {
    const Scene scene = defaultScene();
    TrackerTable table;
    addPointTracker(table, 1, allLedIds(scene));
    addRigidTracker(table, 2, scene, {0, 1, 2, 3, 4, 5}, 1.0f);
    auto same = [](const FrameData& a, const FrameData& b) {
        auto bytes = [](const auto& v) {
            return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof v[0]);
        };
        return bytes(a.markers) == bytes(b.markers) && bytes(a.rigids) == bytes(b.rigids) &&
               bytes(a.images) == bytes(b.images) && bytes(a.detectors) == bytes(b.detectors);
    };
    Simulator inOrder(scene, 99), outOfOrder(scene, 99), otherSeed(scene, 100);
    FrameData a, b, c;
    for (int f = 0; f < 8; ++f) inOrder.generate(f, f / kRate, table, a);
    outOfOrder.generate(7, 7 / kRate, table, b);
    EXPECT_TRUE(same(a, b));
    outOfOrder.generate(3, 3 / kRate, table, c);
    outOfOrder.generate(7, 7 / kRate, table, c);
    EXPECT_TRUE(same(a, c));
    otherSeed.generate(7, 7 / kRate, table, c);
    EXPECT_FALSE(same(a, c));
    outOfOrder.generate(8, 7 / kRate, table, c);
    EXPECT_NE(a.images[0].pos, c.images[0].pos) << "another frame draws other noise";
}

TEST(SimulatorCameras, UncalibratedCamerasGivePeaksButNoMarkers) {
    // LED 1 is seen by cameras 1 and 2, LED 2 by cameras 2 and 3 (cones).
    const Scene scene = sceneFromText(
        "up y\n"
        "noise 0\n"
        "camera 1 -3000 1000 0 0 1000 0 60 60 uncalibrated\n"
        "camera 2 0 1000 3000 0 1000 0 60 60\n"
        "camera 3 3000 1000 0 0 1000 0 60 60\n"
        "led 1 static 0 1000 0 -1 0 1 cone 60\n"
        "led 2 static 0 1050 0 1 0 1 cone 60\n");
    Simulator sim(scene, 1);
    ASSERT_EQ(sim.cameras().size(), 3u);
    EXPECT_LT(sim.cameras()[0].cond, 0);
    EXPECT_GE(sim.cameras()[1].cond, 0);
    EXPECT_EQ(sim.cameras()[0].id, 1);
    EXPECT_EQ(sim.cameras()[0].word, 60000u);
    TrackerTable table;
    addPointTracker(table, 1, {1, 2});
    FrameData frame;
    sim.generate(0, 0, table, frame);
    std::set<std::pair<int, int>> seen;  // (camera, marker id)
    for (const ImageRecord& image : frame.images) seen.insert({image.camera, image.id});
    EXPECT_EQ(seen, (std::set<std::pair<int, int>>{{0, vek_marker_id(1, 0)},
                                                   {1, vek_marker_id(1, 0)},
                                                   {1, vek_marker_id(1, 1)},
                                                   {2, vek_marker_id(1, 1)}}));
    ASSERT_EQ(frame.markers.size(), 2u);
    EXPECT_EQ(frame.markers[0].cond, 0.0f) << "one calibrated camera only";
    EXPECT_GT(frame.markers[1].cond, 0.0f);
    EXPECT_NEAR(frame.markers[1].y, 1050, 1e-3);
    EXPECT_EQ(frame.detectors[0].peaks, 1);
}

}  // namespace
}  // namespace vekd
