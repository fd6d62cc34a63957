// What the simulator films: cameras with two linear detectors each, rigid
// bodies moving on sums of sines, and LEDs on the bodies or fixed in the room.
// Units: millimetres, seconds, degrees. World +y is up: the floor is y = 0.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "vek_types.h"

#include "geometry_math.h"

namespace vekd {

struct SceneCamera {
    int id = 0;
    Vec3 position;
    Quat orientation;  // camera -> world; looks along its -z axis, +y up in its image
    double hfovDegrees = 60;
    double vfovDegrees = 60;
    bool calibrated = true;
};

// One sine term of a body's motion: amplitude * sin(2 pi frequency t + phase).
struct MotionTerm {
    bool rotation = false;  // rotation about a world axis (degrees), else translation (mm)
    int axis = 0;           // 0 x, 1 y, 2 z
    double amplitude = 0;
    double frequencyHz = 0;
    double phaseDegrees = 0;
};

struct SceneBody {
    std::string name;
    Vec3 center;                      // body origin at rest
    double spinDegreesPerSecond = 0;  // steady turn about world y (up)
    std::vector<MotionTerm> terms;
};

struct SceneLed {
    int id = 0;
    int body = -1;            // index into Scene::bodies, -1 fixed in the room
    Vec3 position;            // body frame (or world frame when fixed)
    Vec3 direction;           // unit emission axis, same frame
    double coneDegrees = 75;  // half-angle of the emission cone
};

struct Scene {
    static constexpr int kMaxCameras = 64;
    static constexpr int kMaxLeds = VEK_MAX_MARKERS;  // every LED can be a marker
    static constexpr int kMaxBodies = 64;
    static constexpr int kMaxTermsPerBody = 16;

    std::vector<SceneCamera> cameras;
    std::vector<SceneBody> bodies;
    std::vector<SceneLed> leds;
    double noisePixels = 0.05;  // standard deviation of a peak position
};

// Pose body -> world at time t: translation sines added to the centre,
// rotation Ry(spin t + y terms) * Rz(z terms) * Rx(x terms): the turn about
// the up axis comes last.
Pose bodyPose(const SceneBody& body, double t);

// Index of the LED with this id in scene.leds, or -1.
int findLed(const Scene& scene, int led);

// Ground truth for tests: world position (mm) of LED `led` at time t;
// false if the scene has no such LED.
bool ledPosition(const Scene& scene, int led, double t, float out[3]);

Scene defaultScene();

// Reads a scene file; false with a one-line message in `error`
// (file:line: what) on any problem. A file of a z-up world (`up z`, or no
// `up` statement: files written before it) is turned to the y-up world.
bool loadScene(const std::string& path, Scene& out, std::string& error);
// The same, from memory (for tests and fuzzing).
bool parseScene(const char* text, size_t length, Scene& out, std::string& error);

}  // namespace vekd
