// Scenes and trackers for the simulator's tests: a scene from its text,
// point and rigid trackers on given LEDs, distances to the true LEDs.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "scene.h"
#include "trackers.h"

namespace vekd {

constexpr double kRate = 100.0;

inline Scene sceneFromText(const std::string& text) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(parseScene(text.data(), text.size(), scene, error)) << error;
    return scene;
}

// Point tracker `id` with marker index i on LED leds[i].
inline void addPointTracker(TrackerTable& table, int id, const std::vector<int>& leds, bool enabled = true) {
    ASSERT_EQ(table.create(id, VEK_CREATE, VEK_POINT_TRACKER), 0);
    for (size_t i = 0; i < leds.size(); ++i)
        ASSERT_EQ(table.setMarkerLed(vek_marker_id(id, static_cast<int>(i)), VEK_MARKER_LED, leds[i]), 0);
    if (enabled) {
        ASSERT_EQ(table.operate(id, VEK_ON), 0);
    }
}

// Rigid tracker on the given LEDs with body-frame positions from the scene.
inline void addRigidTracker(TrackerTable& table, int id, const Scene& scene, const std::vector<int>& leds,
                            float fill) {
    ASSERT_EQ(table.create(id, VEK_CREATE, VEK_RIGID_TRACKER), 0);
    for (size_t i = 0; i < leds.size(); ++i) {
        const int marker = vek_marker_id(id, static_cast<int>(i));
        ASSERT_EQ(table.setMarkerLed(marker, VEK_MARKER_LED, leds[i]), 0);
        const int index = findLed(scene, leds[i]);
        const Vec3 p = index >= 0 ? scene.leds[index].position : Vec3{10.0 * i, 20, 30};
        const float xyz[3] = {float(p.x), float(p.y), float(p.z)};
        ASSERT_EQ(table.setMarkerPosition(marker, VEK_MARKER_POSITION, xyz), 0);
    }
    ASSERT_EQ(table.setParam(id, VEK_FILL, fill), 0);
    ASSERT_EQ(table.operate(id, VEK_ON), 0);
}

inline std::vector<int> allLedIds(const Scene& scene) {
    std::vector<int> ids;
    for (const SceneLed& led : scene.leds) ids.push_back(led.id);
    return ids;
}

inline double distanceToTruth(const Scene& scene, int led, double t, const MarkerRecord& m) {
    float truth[3];
    EXPECT_TRUE(ledPosition(scene, led, t, truth));
    return std::sqrt((m.x - truth[0]) * (m.x - truth[0]) + (m.y - truth[1]) * (m.y - truth[1]) +
                     (m.z - truth[2]) * (m.z - truth[2]));
}

}  // namespace vekd
