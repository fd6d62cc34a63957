// The view core's camera and input rules, without a window.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "gl_view_core.h"

namespace {

using glview::MouseState;

uint64_t fakeMicroseconds = 0;
uint64_t fakeClock() { return fakeMicroseconds; }

// A core with a fixed 800 x 600 window and matrices set up as the first
// frame would leave them (no GL context needed).
class TestCore : public glview::GLViewCore {
public:
    TestCore() : glview::GLViewCore(fakeClock) {
        resetCamera();
        camera.update();
        placeCamera();
    }
    int width() override { return 800; }
    int height() override { return 600; }
    void resize(int, int) override {}
    void move(int, int) override {}
    MouseState* mouseState() override { return &state; }
    void clearSelection() override { ++selectionClears; }

    void placeCamera() {
        camera.projection = camera.projectionFor(800, 600);
        camera.modelview = camera.viewMatrix();
        camera.viewport = {0, 0, 800, 600};
    }
    bool event(int buttons, int previous, int modifiers = 0, int x = 400, int y = 300, int dx = 0,
               int dy = 0) {
        state = MouseState{x, y, dx, dy, buttons, previous, modifiers};
        return mouse(state);
    }

    MouseState state;
    int selectionClears = 0;
};

TEST(GlViewViewCore, WheelZoomStepsAndShiftFinerStep) {
    TestCore core;
    ASSERT_FLOAT_EQ(core.camera.r, 6);
    core.event(glview::kWheelForward, 0);
    EXPECT_FLOAT_EQ(core.camera.r, 4);
    core.event(0, glview::kWheelForward);
    core.event(glview::kWheelForward, 0);
    EXPECT_NEAR(core.camera.r, 2.667, 1e-3);

    TestCore shifted;
    shifted.event(glview::kWheelForward, 0, glview::kShift);
    EXPECT_FLOAT_EQ(shifted.camera.r, 6 / 1.1f);
    shifted.event(glview::kWheelBackward, 0, glview::kShift);
    EXPECT_NEAR(shifted.camera.r, 6, 1e-5);
}

TEST(GlViewViewCore, ZoomRefusedAtLimitsEvenTowardThePointer) {
    TestCore core;
    core.camera.r = core.camera.rMin;
    core.camera.update();
    core.placeCamera();
    const auto target = core.camera.target;
    core.event(glview::kWheelForward, 0, glview::kCtrl, 500, 200);
    EXPECT_FLOAT_EQ(core.camera.r, core.camera.rMin);
    EXPECT_EQ(core.camera.target, target);
    EXPECT_FALSE(core.camera.setRadius(core.camera.rMax * 1.01f));
}

TEST(GlViewViewCore, CtrlWheelZoomsTowardThePointer) {
    TestCore core;
    core.camera.rotation = {45, 0, 0};
    core.camera.update();
    core.placeCamera();
    core.event(glview::kWheelForward, 0, glview::kCtrl, 600, 300);
    core.event(0, glview::kWheelForward, glview::kCtrl, 600, 300);  // the step's release keeps it
    EXPECT_FLOAT_EQ(core.camera.r, 4);
    EXPECT_GT(core.camera.target[0], 0.1f);  // pointer right of the centre
}

TEST(GlViewViewCore, FovAndRadiusStayWithinLimitsUnderVelocity) {
    glview::ViewCamera camera;
    camera.r = 1;
    camera.fovVelocity = 50;
    camera.rVelocity = -5;
    for (int i = 0; i < 3; ++i) camera.update();
    EXPECT_FLOAT_EQ(camera.fov, 90);
    EXPECT_FLOAT_EQ(camera.r, camera.rMin);
    camera.fovVelocity = -500;
    camera.rVelocity = 500;
    camera.update();
    EXPECT_FLOAT_EQ(camera.fov, 1);
    EXPECT_FLOAT_EQ(camera.r, camera.rMax);
}

TEST(GlViewViewCore, DoubleClickWithinTwoTenthsOfASecond) {
    TestCore core;
    fakeMicroseconds = 10'000'000;
    EXPECT_TRUE(core.event(glview::kLeftButton, 0));  // first click starts a pick
    EXPECT_EQ(core.pickRequested, 1);
    EXPECT_EQ(core.pickMode, glview::kPickNearest);
    core.pickRequested = 0;
    core.event(0, glview::kLeftButton);
    fakeMicroseconds += 150'000;
    core.event(glview::kLeftButton, 0);
    EXPECT_EQ(core.selectionClears, 1);  // no hits: selection cleared
    EXPECT_EQ(core.pickRequested, 0);

    TestCore slow;
    slow.event(glview::kLeftButton, 0);
    slow.event(0, glview::kLeftButton);
    slow.pickRequested = 0;
    fakeMicroseconds += 250'000;
    slow.event(glview::kLeftButton, 0);
    EXPECT_EQ(slow.selectionClears, 0);
    EXPECT_EQ(slow.pickRequested, 1);  // a new pick instead

    TestCore hit;
    hit.hitCount = 1;
    hit.lastPickPoint = {1, 2, 3};
    hit.event(glview::kLeftButton, 0);
    fakeMicroseconds += 100'000;
    hit.event(glview::kLeftButton, 0);
    EXPECT_EQ(hit.camera.target, (glview::Vec3f{1, 2, 3}));
}

TEST(GlViewViewCore, CtrlClickAddsNearestAndMiddleDragPicksBands) {
    TestCore core;
    core.event(glview::kLeftButton, 0, glview::kCtrl);
    EXPECT_EQ(core.pickMode, glview::kPickNearestAdd);
    core.event(glview::kMiddleButton, glview::kMiddleButton, glview::kCtrl);
    EXPECT_EQ(core.pickMode, glview::kPickBandAdd);
    core.event(glview::kMiddleButton, glview::kMiddleButton, glview::kShift | glview::kCtrl);
    EXPECT_EQ(core.pickMode, glview::kPickNearestAdd);
    core.event(glview::kMiddleButton, glview::kMiddleButton);
    EXPECT_EQ(core.pickMode, glview::kPickBand);
    core.event(glview::kMiddleButton, glview::kMiddleButton, glview::kAlt);
    EXPECT_EQ(core.pickMode, glview::kPickBand);
}

TEST(GlViewViewCore, ReleasingAllButtonsSnapsTargetToClampedCentre) {
    TestCore core;
    core.camera.target = {80, 1, 0};  // beyond bounds.x = 50
    core.camera.center = {10, 1, 0};
    core.camera.clampTarget();
    EXPECT_FLOAT_EQ(core.camera.center[0], 50);
    core.pickMode = glview::kPickBand;
    core.event(0, glview::kRightButton);
    EXPECT_EQ(core.camera.target, core.camera.center);
    EXPECT_EQ(core.pickMode, glview::kPickNone);
}

TEST(GlViewViewCore, RightDragRotatesLeftDragPans) {
    TestCore core;
    core.event(glview::kRightButton, glview::kRightButton, 0, 400, 300, 3, -2);
    EXPECT_FLOAT_EQ(core.camera.rotation[0], 3);
    EXPECT_FLOAT_EQ(core.camera.rotation[1], -3);

    TestCore panned;
    panned.camera.rotation = {45, 0, 0};
    panned.camera.update();
    panned.placeCamera();
    panned.event(0, 0, 0, 400, 300);
    panned.event(glview::kLeftButton, glview::kLeftButton, 0, 420, 300, -20, 0);
    EXPECT_LT(panned.camera.target[0], 0);  // the ground follows the pointer
    EXPECT_NEAR(panned.camera.target[1], 0, 1e-6);

    TestCore lifted;
    lifted.event(glview::kLeftButton, glview::kLeftButton, glview::kShift, 400, 300, 0, 10);
    EXPECT_FLOAT_EQ(lifted.camera.target[1], -10 * 6 / 100.0f);
}

TEST(GlViewViewCore, MouseBeforeFirstViewIsConsumedWithoutEffect) {
    TestCore core;
    core.camera.viewport = {0, 0, 0, 0};
    EXPECT_TRUE(core.event(glview::kWheelForward, 0));
    EXPECT_FLOAT_EQ(core.camera.r, 6);
}

TEST(GlViewViewCore, CtrlRActsUnlessExactlyCtrlIsHeld) {
    TestCore core;
    core.state.modifiers = glview::kCtrl;
    EXPECT_TRUE(core.key(18, true));
    EXPECT_EQ(core.camera.rotation, (glview::Vec3f{5, 0, 0}));
    core.state.modifiers = glview::kCtrl | glview::kShift;
    core.key(18, true);
    EXPECT_EQ(core.camera.rotation, (glview::Vec3f{0, 270, 0}));
}

TEST(GlViewViewCore, KeyTable) {
    TestCore core;
    const std::pair<int, glview::Vec3f> views[] = {{'x', {0, 270, 0}}, {'X', {0, 90, 0}}, {'y', {90, 0, 0}},
                                                   {'Y', {270, 0, 0}}, {'z', {0, 0, 0}},  {'Z', {0, 180, 0}}};
    for (const auto& [key, rotation] : views) {
        EXPECT_TRUE(core.key(key, true));
        EXPECT_EQ(core.camera.rotation, rotation) << static_cast<char>(key);
    }
    core.key(9, true);
    EXPECT_EQ(core.camera.mode, glview::kEyeAnchored);
    core.key(9, true);
    EXPECT_EQ(core.camera.mode, glview::kOrbit);

    core.key('e', true);
    EXPECT_FLOAT_EQ(core.camera.rotationVelocity[1], 1);
    core.key('e', false);
    EXPECT_FLOAT_EQ(core.camera.rotationVelocity[1], 0);
    core.key('E', true);
    core.key('Q', true);
    EXPECT_NEAR(core.camera.rotationVelocity[1], 0.01f, 1e-6);
    core.key('W', true);
    EXPECT_FLOAT_EQ(core.camera.rotationVelocity[1], 0);

    core.cameraListsDirty = 0;
    core.frustumLength = 200;
    core.key('[', true);
    EXPECT_FLOAT_EQ(core.frustumLength, 200);
    EXPECT_EQ(core.cameraListsDirty, 0);
    core.key(']', true);
    EXPECT_FLOAT_EQ(core.frustumLength, 400);
    EXPECT_EQ(core.cameraListsDirty, 1);

    core.measurePoints = {{1, 1, 1}};
    core.measurePointsSecond = {{2, 2, 2}};
    core.key('G', true);
    EXPECT_TRUE(core.measurePoints.empty());
    core.measurePointsSecond = {{2, 2, 2}};
    core.key('G', false);
    EXPECT_TRUE(core.measurePointsSecond.empty());

    core.key('o', true);
    EXPECT_EQ(core.camera.orthographic, 1);
    core.key('R', true);
    EXPECT_FLOAT_EQ(core.camera.r, 6);
    EXPECT_EQ(core.camera.rotation, (glview::Vec3f{5, 0, 0}));
    EXPECT_FALSE(core.key('k', true));
}

TEST(GlViewViewCamera, OrbitPlacesEyeAndUpAndFreeModeDerivesAngles) {
    glview::ViewCamera camera;
    camera.r = 2;
    camera.rotation = {90, 0, 0};
    camera.update();
    EXPECT_NEAR(camera.eye[1], 2, 1e-5);
    EXPECT_NEAR(camera.up[2], -1, 1e-5);  // looking straight down, up points to -z

    glview::ViewCamera free;
    free.mode = glview::kFree;
    free.eye = {0, 3, 3};
    free.update();
    EXPECT_NEAR(free.rotation[0], 45, 1e-4);
    EXPECT_NEAR(free.rotation[1], 0, 1e-4);
    EXPECT_NEAR(free.r, std::sqrt(18.0f), 1e-5);
}

TEST(GlViewViewCamera, PointerRayThroughWindowCentreLooksAtTheCentre) {
    TestCore core;  // eye on +z (azimuth 0, elevation 5), looking at the origin
    ASSERT_TRUE(core.camera.pointerRay(400, 300));
    const auto& d = core.camera.rayDir;
    const auto& e = core.camera.eye;
    EXPECT_NEAR(d[0], -e[0] / 6, 1e-4);
    EXPECT_NEAR(d[1], -e[1] / 6, 1e-4);
    EXPECT_NEAR(d[2], -e[2] / 6, 1e-4);
    core.camera.modelview = {};
    EXPECT_FALSE(core.camera.pointerRay(400, 300));
}

TEST(GlViewViewCamera, PrintsFourSignificantDigits) {
    glview::ViewCamera camera;
    camera.r = 2.0f / 3;
    std::ostringstream out;
    camera.print(out);
    EXPECT_EQ(out.str(), "   m:2   r:0.6667   p[ 0 0 0]   rot[ 0 0 0]  fov:60");
}

TEST(GlViewStopwatch, LoadIsBusyShareOfTheWindow) {
    fakeMicroseconds = 5'000'000;
    glview::Stopwatch watch(fakeClock);
    EXPECT_EQ(watch.load(), 0.0);
    fakeMicroseconds += 1000;
    watch.addBusy(250);
    EXPECT_DOUBLE_EQ(watch.load(), 0.25);
    watch.restartWindow();
    EXPECT_EQ(watch.now(), 1000u);
    EXPECT_EQ(watch.load(), 0.0);
}

}  // namespace
