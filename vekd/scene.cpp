#include "scene.h"

#include <cmath>

namespace vekd {

Pose bodyPose(const SceneBody& body, double t) {
    double shift[3] = {0, 0, 0};
    double angle[3] = {0, body.spinDegreesPerSecond * t, 0};
    for (const MotionTerm& term : body.terms) {
        const double value =
            term.amplitude * std::sin(2.0 * kPi * term.frequencyHz * t + radians(term.phaseDegrees));
        (term.rotation ? angle : shift)[term.axis] += value;
    }
    Pose pose;
    pose.position = body.center + Vec3{shift[0], shift[1], shift[2]};
    pose.rotation = axisAngle({0, 1, 0}, radians(angle[1])) * axisAngle({0, 0, 1}, radians(angle[2])) *
                    axisAngle({1, 0, 0}, radians(angle[0]));
    return pose;
}

int findLed(const Scene& scene, int led) {
    for (size_t i = 0; i < scene.leds.size(); ++i)
        if (scene.leds[i].id == led) return static_cast<int>(i);
    return -1;
}

bool ledPosition(const Scene& scene, int led, double t, float out[3]) {
    const int index = findLed(scene, led);
    if (index < 0) return false;
    const SceneLed& l = scene.leds[index];
    const Vec3 p = l.body < 0 ? l.position : apply(bodyPose(scene.bodies[l.body], t), l.position);
    out[0] = static_cast<float>(p.x);
    out[1] = static_cast<float>(p.y);
    out[2] = static_cast<float>(p.z);
    return true;
}

namespace {

void addCameraRing(Scene& scene) {
    const Vec3 target{0, 1000, 0};
    for (int i = 0; i < 8; ++i) {
        const double azimuth = radians(22.5 + 45.0 * i);
        SceneCamera camera;
        camera.id = i + 1;
        camera.position = {3000.0 * std::cos(azimuth), 2200, -3000.0 * std::sin(azimuth)};
        lookAt(camera.position, target, camera.orientation);
        scene.cameras.push_back(camera);
    }
}

void addLed(Scene& scene, int id, int body, Vec3 position, Vec3 direction) {
    SceneLed led;
    led.id = id;
    led.body = body;
    led.position = position;
    led.direction = normalized(direction);
    scene.leds.push_back(led);
}

// Body A (LEDs 0-5): a hand-held wand of about 160 mm, LEDs facing up and
// slightly outwards; it wanders and tilts so that cameras lose and regain
// single LEDs while every LED stays in view of several cameras.
void addWand(Scene& scene) {
    SceneBody body;
    body.name = "wand";
    body.center = {0, 1000, 0};
    body.terms = {
        {false, 0, 150, 0.11, 0}, {false, 0, 40, 0.31, 0}, {false, 2, -120, 0.07, 90},
        {false, 1, 80, 0.13, 30}, {true, 1, 60, 0.05, 0},  {true, 0, 18, 0.09, 0},
        {true, 2, -18, 0.06, 45},
    };
    const int index = static_cast<int>(scene.bodies.size());
    scene.bodies.push_back(body);
    const Vec3 positions[6] = {{-70, 0, 45},   {70, 0, 45}, {75, 15, -50},
                               {-60, 25, -55}, {0, 70, 0},  {15, 40, 80}};
    for (int i = 0; i < 6; ++i) {
        const Vec3 p = positions[i];
        addLed(scene, i, index, p, {p.x * 0.002, 1, p.z * 0.002});
    }
}

// Body B (LEDs 8-13): a spinning puck with LEDs facing outwards around its
// rim, so every camera sees each LED come and go.
void addPuck(Scene& scene) {
    SceneBody body;
    body.name = "puck";
    body.center = {700, 900, 500};
    body.spinDegreesPerSecond = 40;
    body.terms = {{false, 2, -150, 0.08, 0}, {false, 1, 60, 0.17, 0}, {true, 0, 10, 0.2, 0}};
    const int index = static_cast<int>(scene.bodies.size());
    scene.bodies.push_back(body);
    for (int i = 0; i < 6; ++i) {
        const double a = radians(60.0 * i);
        const double c = std::cos(a), s = std::sin(a);
        addLed(scene, 8 + i, index, {80 * c, i % 2 ? 30.0 : 0.0, -80 * s},
               {c * std::cos(radians(25)), std::sin(radians(25)), -s * std::cos(radians(25))});
    }
}

// LEDs 16-31: a 4 x 4 grid on the floor, facing up.
void addFloorGrid(Scene& scene) {
    for (int i = 0; i < 16; ++i)
        addLed(scene, 16 + i, -1, {-900.0 + 600.0 * (i % 4), 0, 900.0 - 600.0 * (i / 4)}, {0, 1, 0});
}

}  // namespace

Scene defaultScene() {
    Scene scene;
    addCameraRing(scene);
    addWand(scene);
    addPuck(scene);
    addFloorGrid(scene);
    return scene;
}

}  // namespace vekd
