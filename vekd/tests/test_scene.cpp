// Scenes: the built-in default scene, body motion, and the scene file parser
// (accepted statements, exact error messages, limits, hostile input).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "scene.h"

namespace vekd {
namespace {

bool parse(const std::string& text, Scene& scene, std::string& error) {
    return parseScene(text.data(), text.size(), scene, error);
}

std::string errorOf(const std::string& text) {
    Scene scene;
    std::string error;
    EXPECT_FALSE(parse(text, scene, error)) << text;
    return error;
}

std::string sourceDir() {
    const std::string file = __FILE__;
    return file.substr(0, file.rfind('/')) + "/..";
}

const std::string kTwoCameras =
    "camera 1 3000 0 2000 0 0 1000 60 60\n"
    "camera 2 0 3000 2000 0 0 1000 60 60\n";

TEST(DefaultScene, CamerasRingTheRoomAndLookAtItsCentre) {
    const Scene scene = defaultScene();
    ASSERT_EQ(scene.cameras.size(), 8u);
    for (const SceneCamera& c : scene.cameras) {
        EXPECT_TRUE(c.calibrated);
        EXPECT_NEAR(std::hypot(c.position.x, c.position.z), 3000, 1e-6);
        EXPECT_NEAR(c.position.y, 2200, 1e-6) << "above the floor";
        const Vec3 view = rotate(c.orientation, {0, 0, -1});
        const Vec3 toCentre = normalized(Vec3{0, 1000, 0} - c.position);
        EXPECT_NEAR(dot(view, toCentre), 1.0, 1e-12);
        EXPECT_GT(rotate(c.orientation, {0, 1, 0}).y, 0.9) << "image +y is up";
    }
    // The world is y-up: floor LEDs lie on y = 0 facing up, bodies rest above.
    for (int led = 16; led < 32; ++led) {
        const SceneLed& l = scene.leds[findLed(scene, led)];
        EXPECT_EQ(l.position.y, 0);
        EXPECT_EQ(l.direction.y, 1);
    }
    for (const SceneBody& body : scene.bodies) EXPECT_GT(body.center.y, 800) << body.name;
}

TEST(DefaultScene, WandHasSixSpreadNonCoplanarLedsAndEverythingFitsTheLimits) {
    const Scene scene = defaultScene();
    EXPECT_LE(scene.leds.size(), 32u);
    EXPECT_LE(scene.cameras.size() * scene.leds.size() * 2, std::size_t{VEK_MAX_IMAGES});
    std::vector<Vec3> wand;
    for (int id = 0; id < 6; ++id) {
        const int i = findLed(scene, id);
        ASSERT_GE(i, 0);
        EXPECT_EQ(scene.leds[i].body, scene.leds[findLed(scene, 0)].body);
        wand.push_back(scene.leds[i].position);
    }
    double span = 0;
    for (const Vec3& a : wand)
        for (const Vec3& b : wand) span = std::max(span, norm(a - b));
    EXPECT_GE(span, 100);
    EXPECT_LE(span, 200);
    // Non-coplanar: some LED lies well off the plane through three others.
    const Vec3 normal = normalized(cross(wand[1] - wand[0], wand[2] - wand[0]));
    double offPlane = 0;
    for (const Vec3& p : wand) offPlane = std::max(offPlane, std::fabs(dot(p - wand[0], normal)));
    EXPECT_GT(offPlane, 20);
    // A second body with 4 to 6 LEDs.
    int second = 0;
    for (const SceneLed& led : scene.leds) second += led.body >= 0 && led.body != scene.leds[0].body;
    EXPECT_GE(second, 4);
    EXPECT_LE(second, 6);
}

TEST(DefaultScene, BodiesMoveAtRealisticSpeeds) {
    const Scene scene = defaultScene();
    const double dt = 0.01;
    for (const SceneBody& body : scene.bodies) {
        double fastest = 0, farthest = 0, widestTilt = 0;
        for (double t = 0; t < 60; t += dt) {
            const Pose a = bodyPose(body, t), b = bodyPose(body, t + dt);
            fastest = std::max(fastest, norm(b.position - a.position) / dt);
            farthest = std::max(farthest, norm(a.position - body.center));
            widestTilt = std::max(widestTilt, degrees(std::acos(rotate(a.rotation, {0, 1, 0}).y)));
        }
        EXPECT_LT(fastest, 500) << body.name << ": mm/s";
        EXPECT_LT(farthest, 320) << body.name;
        EXPECT_GT(farthest, 50) << body.name << " moves";
        EXPECT_LT(widestTilt, 60) << body.name;
    }
}

// The example file (y-up) and the same scene as an older z-up file (no
// `up`, or `up z`), which is turned upright on reading.
TEST(DefaultScene, ExampleFileDescribesTheDefaultScene) {
    std::ifstream old(sourceDir() + "/tests/example-z-up.scene");
    const std::string zUp((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    const std::string sources[] = {"/scenes/example.scene", "/tests/example-z-up.scene", "up z\n" + zUp};
    const Scene builtIn = defaultScene();
    for (const std::string& source : sources) {
        SCOPED_TRACE(source.substr(0, 30));
        Scene loaded;
        std::string error;
        ASSERT_TRUE(source[0] == '/' ? loadScene(sourceDir() + source, loaded, error)
                                     : parse(source, loaded, error))
            << error;
        ASSERT_EQ(loaded.cameras.size(), builtIn.cameras.size());
        ASSERT_EQ(loaded.leds.size(), builtIn.leds.size());
        EXPECT_EQ(loaded.noisePixels, builtIn.noisePixels);
        for (size_t c = 0; c < loaded.cameras.size(); ++c) {
            EXPECT_EQ(loaded.cameras[c].id, builtIn.cameras[c].id);
            EXPECT_LT(norm(loaded.cameras[c].position - builtIn.cameras[c].position), 1e-3);
            EXPECT_LT(angleBetween(loaded.cameras[c].orientation, builtIn.cameras[c].orientation), 1e-6);
        }
        for (double t : {0.0, 1.7, 12.3}) {
            for (const SceneLed& led : builtIn.leds) {
                float a[3], b[3];
                ASSERT_TRUE(ledPosition(loaded, led.id, t, a));
                ASSERT_TRUE(ledPosition(builtIn, led.id, t, b));
                for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], 1e-3) << "LED " << led.id;
            }
        }
        for (size_t i = 0; i < loaded.leds.size(); ++i)
            EXPECT_GT(dot(loaded.leds[i].direction, builtIn.leds[i].direction), 1 - 1e-9);
    }
}

TEST(BodyMotion, SinesAddToTheCentreAndTurnInYZXOrder) {
    Scene scene;
    std::string error;
    ASSERT_TRUE(parse("up y\n" + kTwoCameras +
                          "body b 100 200 300 spin 10\n"
                          "motion b translate x 50 0.25\n"
                          "motion b translate x 5 0.5 90\n"
                          "motion b rotate x 90 0.25\n"
                          "led 4 b 10 0 0 0 1 0\n"
                          "led 5 static 1 2 3 0 1 0\n",
                      scene, error))
        << error;
    // t = 1: x shift 50 + 5 cos(pi) = 45; rotations: 90 about x, then 10
    // about y (up).
    const Pose pose = bodyPose(scene.bodies[0], 1.0);
    EXPECT_NEAR(pose.position.x, 145, 1e-9);
    EXPECT_NEAR(pose.position.y, 200, 1e-9);
    const Vec3 up = rotate(pose.rotation, {0, 1, 0});
    EXPECT_NEAR(up.x, std::sin(radians(10)), 1e-9) << "x turn first, then y";
    EXPECT_NEAR(up.z, std::cos(radians(10)), 1e-9);
    const Vec3 side = rotate(pose.rotation, {1, 0, 0});
    EXPECT_NEAR(side.x, std::cos(radians(10)), 1e-9);
    EXPECT_NEAR(side.z, -std::sin(radians(10)), 1e-9);

    float p[3];
    ASSERT_TRUE(ledPosition(scene, 4, 1.0, p));
    EXPECT_NEAR(p[0], 145 + 10 * std::cos(radians(10)), 1e-3);
    ASSERT_TRUE(ledPosition(scene, 5, 7.0, p));
    EXPECT_EQ(p[0], 1.0f);
    EXPECT_EQ(p[2], 3.0f);
    EXPECT_FALSE(ledPosition(scene, 6, 1.0, p));
}

TEST(SceneParser, ReadsEveryStatementAndOption) {
    Scene scene;
    std::string error;
    const std::string text =
        "# a comment\r\n"
        "\r\n"
        "noise 0.25   # trailing comment\r\n"
        "camera 7\t0 3000 0   0 0 0   70 +50 uncalibrated\r\n"
        "camera 9 3000 2000 0 0 1000 0 60 60\n"
        "body arm-1 0 500 0\n"
        "motion arm-1 rotate y 30 0.5 -45\n"
        "led 3 arm-1 1 2 3 0 2 0 cone 40\n"
        "led 11 static 0 0 0 1 0 0\n"
        "up y";
    ASSERT_TRUE(parse(text, scene, error)) << error;
    EXPECT_EQ(scene.noisePixels, 0.25);
    ASSERT_EQ(scene.cameras.size(), 2u);
    const SceneCamera& down = scene.cameras[0];
    EXPECT_EQ(down.id, 7);
    EXPECT_FALSE(down.calibrated);
    EXPECT_EQ(down.hfovDegrees, 70);
    EXPECT_EQ(down.vfovDegrees, 50);
    EXPECT_NEAR(rotate(down.orientation, {0, 0, -1}).y, -1, 1e-12) << "looks straight down";
    EXPECT_NEAR(rotate(down.orientation, {0, 1, 0}).z, -1, 1e-12) << "image +y along world -z";
    // The same camera in a z-up file: turned upright, the same orientation.
    Scene zUp;
    ASSERT_TRUE(parse("camera 7 0 0 3000 0 0 0 70 50", zUp, error)) << error;
    EXPECT_LT(angleBetween(zUp.cameras[0].orientation, down.orientation), 1e-12);
    EXPECT_TRUE(scene.cameras[1].calibrated);
    ASSERT_EQ(scene.bodies.size(), 1u);
    EXPECT_EQ(scene.bodies[0].name, "arm-1");
    ASSERT_EQ(scene.bodies[0].terms.size(), 1u);
    const MotionTerm& term = scene.bodies[0].terms[0];
    EXPECT_TRUE(term.rotation);
    EXPECT_EQ(term.axis, 1);
    EXPECT_EQ(term.phaseDegrees, -45);
    ASSERT_EQ(scene.leds.size(), 2u);
    EXPECT_EQ(scene.leds[0].body, 0);
    EXPECT_EQ(scene.leds[0].coneDegrees, 40);
    EXPECT_NEAR(scene.leds[0].direction.y, 1, 1e-12) << "direction is normalised";
    EXPECT_EQ(scene.leds[1].body, -1);
    EXPECT_EQ(scene.leds[1].coneDegrees, 75);
}

TEST(SceneParser, ErrorsNameTheLineAndTheProblem) {
    const std::string bodyLine = "body b 0 0 0\n";
    const std::pair<std::string, std::string> cases[] = {
        {"cam 1 2 3", "<scene>:1: unknown statement 'cam'"},
        {"up", "<scene>:1: expected: up y|z"},
        {"up x", "<scene>:1: up must be y or z, not 'x'"},
        {"up y\n# c\nup y", "<scene>:3: second 'up' statement (the first is on line 1)"},
        {"# c\nnoise", "<scene>:2: expected: noise SIGMA_PIXELS"},
        {"noise abc", "<scene>:1: not a number: 'abc'"},
        {"noise nan", "<scene>:1: not a number: 'nan'"},
        {"noise inf", "<scene>:1: not a number: 'inf'"},
        {"noise 1e999", "<scene>:1: not a number: '1e999'"},
        {"noise +-1", "<scene>:1: not a number: '+-1'"},
        {"noise 0.1x", "<scene>:1: not a number: '0.1x'"},
        {"noise -0.5", "<scene>:1: value '-0.5' out of range 0 to 100"},
        {"camera 1 0 0 0 0 0 1 200 60", "<scene>:1: value '200' out of range 1 to 170"},
        {"camera 1 0 0 5e6 0 0 1 60 60", "<scene>:1: value '5e6' out of range -1e+06 to 1e+06"},
        {"camera 1 0 0 0 0 0 1 60",
         "<scene>:1: expected: camera ID X Y Z LOOKX LOOKY LOOKZ HFOV VFOV [uncalibrated]"},
        {"camera 1 0 0 0 0 0 1 60 60 blind", "<scene>:1: unknown camera option 'blind'"},
        {"camera -1 0 0 0 0 0 1 60 60", "<scene>:1: not an id (0 to 2147483647): '-1'"},
        {"camera 99999999999 0 0 0 0 0 1 60 60", "<scene>:1: not an id (0 to 2147483647): '99999999999'"},
        {"camera 1 5 5 5 5 5 5 60 60", "<scene>:1: camera looks at its own position"},
        {kTwoCameras + "camera 2 0 0 0 0 0 1 60 60", "<scene>:3: duplicate camera id 2"},
        {"body static 0 0 0",
         "<scene>:1: bad body name 'static' (letters, digits, '_', '-'; at most 32; not 'static')"},
        {"body a/b 0 0 0",
         "<scene>:1: bad body name 'a/b' (letters, digits, '_', '-'; at most 32; not 'static')"},
        {bodyLine + "body b 1 1 1", "<scene>:2: duplicate body 'b'"},
        {"body b 0 0 0 turn 5", "<scene>:1: expected: body NAME X Y Z [spin DEGREES_PER_SECOND]"},
        {"motion b translate x 1 1", "<scene>:1: unknown body 'b'"},
        {bodyLine + "motion b slide x 1 1", "<scene>:2: motion must be 'translate' or 'rotate', not 'slide'"},
        {bodyLine + "motion b rotate w 1 1", "<scene>:2: axis must be x, y or z, not 'w'"},
        {bodyLine + "motion b rotate x 1 -1", "<scene>:2: value '-1' out of range 0 to 100"},
        {"led 1 ghost 0 0 0 0 0 1", "<scene>:1: unknown body 'ghost'"},
        {"led 1 static 0 0 0 0 0 0", "<scene>:1: LED direction is zero"},
        {"led 1 static 0 0 0 0 0 1 cone 0", "<scene>:1: value '0' out of range 0.001 to 180"},
        {"led 1 static 0 0 0 0 0 1 wide 3",
         "<scene>:1: expected: led ID BODY|static X Y Z NX NY NZ [cone DEGREES]"},
        {"led 1 static 0 0 0 0 0 1\nled 1 static 1 0 0 0 0 1", "<scene>:2: duplicate LED id 1"},
        {std::string("noise 1\nnoise \0 1", 17), "<scene>:2: control character in line"},
        {"noise 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16", "<scene>:1: too many fields (at most 16)"},
        {"noise 1\n" + std::string(1025, ' '), "<scene>:2: line longer than 1024 characters"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(errorOf(text), message) << text;
}

TEST(SceneParser, CountsAreLimited) {
    std::string cameras;
    for (int c = 0; c < 65; ++c) cameras += "camera " + std::to_string(c) + " 0 0 1 0 0 0 60 60\n";
    EXPECT_EQ(errorOf(cameras), "<scene>:65: too many cameras (at most 64)");

    std::string leds;
    for (int i = 0; i < 586; ++i) leds += "led " + std::to_string(i) + " static 0 0 0 0 0 1\n";
    EXPECT_EQ(errorOf(leds), "<scene>:586: too many LEDs (at most 585)");

    std::string terms = "body b 0 0 0\n";
    for (int i = 0; i < 17; ++i) terms += "motion b translate x 1 1\n";
    EXPECT_EQ(errorOf(terms), "<scene>:18: too many motion terms for one body (at most 16)");

    std::string bodies;
    for (int i = 0; i < 65; ++i) bodies += "body b" + std::to_string(i) + " 0 0 0\n";
    EXPECT_EQ(errorOf(bodies), "<scene>:65: too many bodies (at most 64)");

    Scene scene;
    std::string error;
    EXPECT_TRUE(parse(cameras.substr(0, cameras.rfind("camera 64")), scene, error)) << error;
    EXPECT_EQ(scene.cameras.size(), 64u);
    EXPECT_TRUE(parse("noise 1\n" + std::string(1024, ' ') + "\n", scene, error)) << error;
}

TEST(SceneParser, FailureLeavesTheSceneUnchanged) {
    Scene scene = defaultScene();
    std::string error;
    EXPECT_FALSE(parse(kTwoCameras + "led 1 nowhere 0 0 0 0 0 1", scene, error));
    EXPECT_EQ(scene.cameras.size(), 8u);
    EXPECT_EQ(scene.leds.size(), defaultScene().leds.size());
}

TEST(SceneFile, ErrorsCarryThePath) {
    Scene scene;
    std::string error;
    EXPECT_FALSE(loadScene("/nonexistent/dir/x.scene", scene, error));
    EXPECT_EQ(error, "/nonexistent/dir/x.scene:0: cannot open the file");

    const std::string path = ::testing::TempDir() + "/bad.scene";
    std::ofstream(path) << kTwoCameras << "led 1 static 0 0 0 0 0 1 cone 200\n";
    EXPECT_FALSE(loadScene(path, scene, error));
    EXPECT_EQ(error, path + ":3: value '200' out of range 0.001 to 180");

    const std::string big = ::testing::TempDir() + "/big.scene";
    std::ofstream(big) << std::string((1 << 20) + 1, '#');
    EXPECT_FALSE(loadScene(big, scene, error));
    EXPECT_EQ(error, big + ":0: file larger than 1048576 bytes");

    // A FIFO is refused at once, never waited on.
    const std::string fifo = ::testing::TempDir() + "/fifo.scene";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(loadScene(fifo, scene, error));
    std::remove(fifo.c_str());
    EXPECT_EQ(error, fifo + ":0: a FIFO, not a regular file");
}

// Mutated copies of a valid file: every outcome is a scene or a located error.
TEST(SceneParser, SurvivesMangledInput) {
    std::ifstream file(sourceDir() + "/scenes/example.scene", std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(original.size(), 1000u);
    std::mt19937 random(12345);
    const char alphabet[] = {'\0', '\n', '\r', ' ', '#', '-', '+', '.', 'e', '9', 'x', '\x7f', '\xff'};
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string text = original;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % text.size();
            switch (random() % 4) {
                case 0:
                    text[at] = alphabet[random() % sizeof alphabet];
                    break;
                case 1:
                    text.erase(at, random() % 40);
                    break;
                case 2:
                    text.insert(at, text.substr(random() % text.size(), random() % 200));
                    break;
                default:
                    text.resize(at);
                    break;
            }
            if (text.empty()) text = "x";
        }
        Scene scene;
        std::string error;
        if (parse(text, scene, error)) {
            ++accepted;
            EXPECT_LE(scene.cameras.size(), std::size_t{VEK_MAX_CAMERAS});
            EXPECT_LE(scene.leds.size(), std::size_t{VEK_MAX_MARKERS});
        } else {
            EXPECT_EQ(error.rfind("<scene>:", 0), 0u) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
        }
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace vekd
