// The simulator's markers, made by each code the processor runs (baseline,
// AVX2, AVX-512), against the same arithmetic written plainly: per LED,
// every calibrated camera that sees it in camera order, a reading from the
// pair's own noise stream, the reading's planes added one camera after
// another, the point that solves them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "scene.h"
#include "sim_camera.h"
#include "sim_led_readings.h"
#include "sim_random.h"
#include "sim_triangulation.h"
#include "simulator.h"
#include "simulator_scenes.h"
#include "trackers.h"

namespace vekd {
namespace {

// The marker of every LED (by index) at frame `frame`, time t; cond 0 for
// an LED not placed.
std::vector<MarkerRecord> plainMarkers(const Scene& scene, const std::vector<VEKCamera>& cameras,
                                       uint64_t seed, int32_t frame, double t) {
    std::vector<CameraModel> truth, calibration;
    for (size_t c = 0; c < scene.cameras.size(); ++c) {
        truth.emplace_back(scene.cameras[c]);
        const uint32_t fov[2] = {fovMillidegrees(scene.cameras[c].hfovDegrees),
                                 fovMillidegrees(scene.cameras[c].vfovDegrees)};
        calibration.push_back(calibratedModel(cameras[c], fov));
    }
    const FrameRandom random(seed, frame);
    const double noise = scene.noisePixels / double(VEK_DETECTOR_PIXELS);
    std::vector<MarkerRecord> out(scene.leds.size());
    for (size_t i = 0; i < scene.leds.size(); ++i) {
        const SceneLed& led = scene.leds[i];
        Vec3 position = led.position, direction = normalized(led.direction);
        if (led.body >= 0) {
            const Pose pose = bodyPose(scene.bodies[led.body], t);
            position = apply(pose, position);
            direction = rotate(pose.rotation, direction);
        }
        PlaneSums sums;
        int readBy = 0;
        for (size_t c = 0; c < truth.size(); ++c) {
            double exact[2];
            const Vec3 toCamera = truth[c].position() - position;
            if (!truth[c].project(position, exact) || cameras[c].cond < 0 ||
                !(dot(toCamera, direction) / norm(toCamera) >= std::cos(radians(led.coneDegrees))))
                continue;
            FrameRandom stream = random.stream((static_cast<uint64_t>(c) << 32) | i);
            double deviates[2];
            stream.gaussians(deviates[0], deviates[1]);
            float pos[2];
            for (int d = 0; d < 2; ++d)
                pos[d] = static_cast<float>(std::clamp(exact[d] + noise * deviates[d], 0.0, 1.0));
            sums.add(calibration[c].readingPlanes(pos[0], pos[1]));
            ++readBy;
        }
        Vec3 point;
        double rms = 0;
        if (readBy >= 2 && sums.solve(point, rms)) {
            out[i].x = static_cast<float>(point.x);
            out[i].y = static_cast<float>(point.y);
            out[i].z = static_cast<float>(point.z);
            out[i].cond = static_cast<float>(1.0 + 100.0 * rms);
        }
    }
    return out;
}

struct Case {
    std::string name;
    Scene scene;
    std::vector<int> tracked;  // LED indexes, in marker order
    int frames;
};

// Every frame's markers equal the plain ones, in every code: the same
// floats, so that a frame is the same on every processor (and a replay of
// its peaks rebuilds the same points).
void expectPlainMarkers(const Case& test, LedReadings::Code code) {
    LedReadings::use(code);
    const uint64_t seed = 17;
    Simulator sim(test.scene, seed);
    TrackerTable table;
    std::vector<int> ids;
    for (const int i : test.tracked) ids.push_back(test.scene.leds[i].id);
    addPointTracker(table, 1, ids);
    FrameData frame;
    int placed = 0;
    for (int f = 0; f < test.frames; ++f) {
        const double t = f / kRate;
        sim.generate(f, t, table, frame);
        const std::vector<MarkerRecord> plain = plainMarkers(test.scene, sim.cameras(), seed, f, t);
        ASSERT_EQ(frame.markers.size(), test.tracked.size());
        for (size_t k = 0; k < test.tracked.size(); ++k) {
            const MarkerRecord& m = frame.markers[k];
            const MarkerRecord& p = plain[test.tracked[k]];
            ASSERT_EQ(m.cond, p.cond)
                << test.name << ", code " << int(code) << ", frame " << f << ", LED " << test.tracked[k];
            ASSERT_TRUE(m.x == p.x && m.y == p.y && m.z == p.z)
                << test.name << ", code " << int(code) << ", frame " << f << ", LED " << test.tracked[k];
            placed += m.cond > 0;
        }
    }
    EXPECT_GT(placed, static_cast<int>(test.tracked.size()) * test.frames / 2) << test.name;
}

TEST(SimulatorCodes, MarkersEqualThoseOfThePlainArithmetic) {
    std::vector<Case> cases;
    {
        // 64 cameras, 585 LEDs, every pair read: every rare path of the
        // noise (draws outside their layers, the tail, redraws) is taken
        // a hundred times and more per frame.
        Case max{"maximal scene", {}, {}, 3};
        std::string error;
        const std::string file = __FILE__;
        ASSERT_TRUE(loadScene(file.substr(0, file.rfind('/')) + "/../scenes/max.scene", max.scene, error))
            << error;
        for (size_t i = 0; i < max.scene.leds.size(); ++i) max.tracked.push_back(static_cast<int>(i));
        cases.push_back(max);
    }
    {
        // LEDs on moving bodies, in and out of cameras' views and cones,
        // one camera not calibrated, a third of the LEDs untracked.
        Case moving{"default scene", defaultScene(), {}, 300};
        moving.scene.cameras[3].calibrated = false;
        for (size_t i = 0; i < moving.scene.leds.size(); ++i)
            if (i % 3 != 1) moving.tracked.push_back(static_cast<int>(i));
        std::reverse(moving.tracked.begin(), moving.tracked.end());
        cases.push_back(moving);
    }
    for (const LedReadings::Code code :
         {LedReadings::Code::Baseline, LedReadings::Code::Avx2, LedReadings::Code::Avx512}) {
        if (!LedReadings::runs(code)) continue;
        for (const Case& test : cases) expectPlainMarkers(test, code);
    }
    LedReadings::use(LedReadings::bestCode());
}

}  // namespace
}  // namespace vekd
