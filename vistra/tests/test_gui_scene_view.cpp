// The 3D view drawn from a known session, read back from the framebuffer:
// grid, markers and labels, cameras and their warning, picking into the
// selection sets; and vistra's 3D view against a real vekd.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "gl_matrix.h"
#include "gui_test_app.h"
#include "scene_texts.h"
#include "scene_view/scene_widget.h"
#include "server_process.h"
#include "settings/config_toolbar.h"
#include "trackers/tracker_bar.h"
#include "view_session.h"
#include "window/vistra_main_window.h"

namespace {

constexpr int kTracker17Marker = vek_marker_id(17, 3);
constexpr int kTracker1Marker0 = vek_marker_id(1, 0), kTracker1Marker1 = vek_marker_id(1, 1);

MarkerRecord Marker(int id, float x, float y, float z, float cond = 50) {
    return MarkerRecord{id, 1, x, y, z, cond, 0};
}

// A camera at `position` looking along +x (turn = -1) or -x (turn = 1).
VEKCamera Camera(int id, float x, float y, float z, float turn, float cond = 1) {
    const float h = std::sqrt(0.5f);
    return VEKCamera{id, {x, y, z, h, 0, turn * h, 0}, cond, 0};
}

bool IsConeEdge(QRgb c) {
    return qRed(c) > 90 && qRed(c) < 170 && qAbs(qRed(c) - qGreen(c)) < 12 && qBlue(c) < 40;
}
bool IsBright(QRgb c) { return qRed(c) > 150 && qGreen(c) > 150 && qBlue(c) > 150; }

class VistraSceneViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<SceneWidget>(nullptr, "scene", 0, 0, 800, 600);
        view->session = &session;
        view->show();
        QApplication::processEvents();
        view->initialise();
    }

    QImage frame() { return view->grabFramebuffer(); }
    // Looks at `target` from `distance`, `elevation` degrees above it.
    void look(glview::Vec3f target, float distance, float elevation = 5) {
        view->camera.target = target;
        view->camera.r = distance;
        view->camera.rotation = {elevation, 0, 0};
        frame();
    }
    // Image pixel of a world point under the last frame's camera.
    QPoint pixelOf(const glview::Vec3f& p) const {
        const auto& c = view->camera;
        const glview::Matrix4 m = glview::multiply(c.projection, c.modelview);
        double clip[4];
        for (int r = 0; r < 4; ++r) clip[r] = m[r] * p[0] + m[r + 4] * p[1] + m[r + 8] * p[2] + m[r + 12];
        const double x = (clip[0] / clip[3] + 1) / 2 * c.viewport[2];
        const double y = (clip[1] / clip[3] + 1) / 2 * c.viewport[3];
        return {static_cast<int>(std::lround(x)), c.viewport[3] - static_cast<int>(std::lround(y))};
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent e(type, QPointF(at), view->mapToGlobal(QPointF(at)), button, held, modifiers);
        QApplication::sendEvent(view.get(), &e);
    }
    // A left click; the pick runs in the frame that follows.
    void click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        view->clickArmed = 0;
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
        frame();
    }
    void band(QPoint from, QPoint to) {
        mouse(QEvent::MouseButtonPress, from, Qt::MiddleButton, Qt::MiddleButton);
        mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::MiddleButton);
        frame();
        mouse(QEvent::MouseButtonRelease, to, Qt::MiddleButton, Qt::NoButton);
    }
    void key(const QString& text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(view.get(), &press);
    }
    std::vector<int> selected(const vektk::SelectionSet& set) const {
        std::vector<int> ids;
        for (const auto& [id, unused] : set.items) ids.push_back(id);
        return ids;
    }

    vektk::ViewSession session{0.001f};
    std::unique_ptr<SceneWidget> view;
};

TEST_F(VistraSceneViewTest, GridOfFourteenMetreCellsWithLabelsOneToSevenMetres) {
    look({0, 0, 0}, 14, 90);  // straight down
    QImage img = frame();
    // A line of at least `grey` crosses the row within a pixel of x.
    auto lineAt = [&](float x, int grey) {
        const QPoint at = pixelOf({x, 0, 0.5f});
        return CountPixels(img, QRect(at - QPoint(1, 0), QSize(3, 1)),
                           [&](QRgb c) { return qGray(c) > grey; });
    };
    for (int k = -7; k <= 7; ++k) {
        EXPECT_GT(lineAt(static_cast<float>(k), 40), 0) << "major line at " << k << " m";
        EXPECT_LT(qGray(img.pixel(pixelOf({k + 0.1f, 0, 0.5f}))), 20) << "between lines at " << k << " m";
    }
    EXPECT_TRUE(IsBlack(img.pixel(pixelOf({7.3f, 0, 0.5f}))));  // past the grid's edge
    EXPECT_GT(lineAt(6.6f, 10), 0);                             // a subdivision line

    // The stroke labels lie on the floor just past each metre, on the +x side only.
    auto labelPixels = [&](float x) {
        look({x + 0.03f, 0, -0.012f}, 0.12f, 90);
        return CountPixels(frame(), QRect(250, 200, 300, 200), IsBright);
    };
    for (int metre = 1; metre <= 7; ++metre) EXPECT_GT(labelPixels(static_cast<float>(metre)), 30) << metre;
    EXPECT_EQ(labelPixels(-2), 0);
    EXPECT_EQ(glview::gridLabels(14, "m"),
              (std::vector<std::string>{"1m", "2m", "3m", "4m", "5m", "6m", "7m"}));
}

TEST_F(VistraSceneViewTest, MarkersByConditionLabelsLinksAndInformationLine) {
    view->scale = 20;  // 0.1 m spheres
    session.conditionThreshold = 100;
    session.trackers.emplace_back(vektk::kPointTracker, 3, 6);
    session.trackers.emplace_back(vektk::kPointTracker, 1, 6);
    session.markers = {Marker(0x3005, -1, 0.5f, 0, 100), Marker(0x1002, 1, 0.5f, 0, 101),
                       Marker(0x1003, 0, 1.5f, 0, 0), Marker(0x1004, 0, 0.5f, 5)};  // the last behind the eye
    session.markerNames = {"name", "", "hidden"};
    view->sceneLinks = {{0, 1}, {0, 2}};
    view->markerLabels = true;
    look({0, 0, 0}, 3);
    const QImage img = frame();
    // A sphere of radius 0.1 m at the threshold, a cube of half edge 0.05 m above it.
    auto height = [&](glview::Vec3f p) {
        const QPoint c = pixelOf(p);
        int n = 0;
        for (int y = c.y() - 60; y <= c.y() + 60; ++y)
            n += CountPixels(img, QRect(c.x() - 60, y, 120, 1), IsWhite) > 0 ? 1 : 0;
        return n;
    };
    const int sphere = height({-1, 0.5f, 0}), cube = height({1, 0.5f, 0});
    EXPECT_GT(sphere, 30);
    EXPECT_LT(cube, sphere * 2 / 3);
    EXPECT_GT(cube, 10);
    // Condition 0: neither drawn nor labelled, and its link is hidden.
    EXPECT_EQ(CountPixels(img, QRect(pixelOf({0, 1.5f, 0}) - QPoint(30, 30), QSize(60, 60)), IsWhite), 0);
    EXPECT_TRUE(IsWhite(img.pixel(pixelOf({0, 0.5f, 0}))));  // the link between the two seen
    EXPECT_TRUE(IsBlack(img.pixel(pixelOf({-0.5f, 1, 0}))));
    QStringList texts = view->frameTexts();
    EXPECT_TRUE(texts.contains("3:5 (name)"));
    EXPECT_TRUE(texts.contains("1:2"));
    EXPECT_FALSE(texts.filter("hidden").size());
    EXPECT_FALSE(texts.contains("1:4")) << "a label behind the eye";
    session.trackers.pop_back();
    frame();
    EXPECT_TRUE(view->frameTexts().contains("5 (name)"));

    // The information line of the marker under the pointer, in millimetres.
    session.markers[1].cond = 50;
    mouse(QEvent::MouseMove, pixelOf({1, 0.5f, 0}), Qt::NoButton, Qt::NoButton);
    frame();
    EXPECT_TRUE(view->frameTexts().contains("02:02  [ 1000.0  500.0  0.0  50.0 ]"))
        << view->frameTexts().join('|').toStdString();
}

// What the view made in its GL context (display lists, glyph textures)
// goes with the context, and the next frame makes it again.
TEST_F(VistraSceneViewTest, GLResourcesGoWithTheContextAndComeBackForTheNextFrame) {
    session.trackers.emplace_back(vektk::kPointTracker, 1, 6);
    session.markers = {Marker(0x1002, 1, 0.5f, 0, 101)};
    view->markerLabels = true;
    look({0, 0, 0}, 3);
    const QImage before = frame();
    ASSERT_TRUE(view->frameTexts().contains("2"));
    ASSERT_NE(view->shapeLists[glview::kGridList], 0u);
    emit view->surface()->context()->aboutToBeDestroyed();
    EXPECT_EQ(view->shapeLists[glview::kGridList], 0u);
    EXPECT_EQ(frame(), before);
}

// While the view stays, the grid comes from a picture of it: the frames
// look as frames drawn in full (after the context went, nothing is kept).
TEST_F(VistraSceneViewTest, GridKeptWhileTheViewStaysLooksAsDrawnInFull) {
    session.markers = {Marker(0x1002, 1, 0.5f, 0)};
    auto drawnInFull = [&] {
        emit view->surface()->context()->aboutToBeDestroyed();
        return frame();
    };
    look({0, 0, 0}, 6, 20);
    const QImage first = frame();
    EXPECT_EQ(frame(), first);  // from the picture
    session.markers[0].x = -1;  // the scene moves over the grid
    const QImage moved = frame();
    EXPECT_NE(moved, first);
    EXPECT_EQ(drawnInFull(), moved);
    view->camera.rotation = {20, 30, 0};
    frame();
    frame();
    const QImage turned = frame();
    EXPECT_NE(turned, moved);
    EXPECT_EQ(drawnInFull(), turned);
}

// Ctrl + wheel through the widget (a press and a release reach the core):
// the floor point under the pointer stays under it.
TEST_F(VistraSceneViewTest, CtrlWheelZoomsTowardThePointer) {
    look({0, 0, 0}, 6, 45);
    const glview::Vec3f floor{1.5f, 0, 0.5f};
    const QPoint at = pixelOf(floor);
    QWheelEvent wheel(QPointF(at), view->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.get(), &wheel);
    frame();
    EXPECT_FLOAT_EQ(view->camera.r, 4);
    EXPECT_GT(view->camera.center[0], 0.3f);
    EXPECT_LE((pixelOf(floor) - at).manhattanLength(), 2) << "moved from the pointer";
}

TEST_F(VistraSceneViewTest, CameraWarningBarAndConesOfSelectedCameras) {
    session.cameras = {Camera(0, -2.5f, 1, 0, -1), Camera(1, 0, 0, 0, 1, -1), Camera(2, 2.5f, 1, 0, 1),
                       Camera(3, 0, 0, 0, 1, 0), Camera(4, 0, 0, 0, 1, -1)};
    look({0, 0, 0}, 6);
    QImage img = frame();
    EXPECT_TRUE(view->frameTexts().contains("WARNING: 2 uncalibrated cameras detected: 2, 5"));
    EXPECT_GT(CountPixels(img, QRect(0, 15, 800, 4), IsGrey), 700);  // the bar's lower edge
    std::vector<int> ten{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(glview::cameraWarningText(ten),
              "WARNING: 10 uncalibrated cameras detected: 1, 2, 3, 4, 5, 6, 7, 8, ...");

    auto cones = [&](const QImage& image, int left) {
        return CountPixels(image, QRect(left, 60, 400, 200), IsConeEdge);  // above the floor
    };
    EXPECT_EQ(cones(img, 0) + cones(img, 400), 0);  // nothing selected, N off
    key("N");
    img = frame();
    EXPECT_GT(cones(img, 0), 100);
    EXPECT_GT(cones(img, 400), 100);
    session.selectedCameras.Select(2);
    img = frame();
    EXPECT_EQ(cones(img, 0), 0);
    EXPECT_GT(cones(img, 400), 100);
    key("N");
    img = frame();
    EXPECT_GT(cones(img, 400), 100);  // selected: its cone stays

    // A new pose rebuilds the cone lists: the cone's apex moves with it.
    const QPoint apex = pixelOf({2.5f, 2, 0});
    EXPECT_EQ(CountPixels(img, QRect(apex - QPoint(4, 4), QSize(9, 9)), IsConeEdge), 0);
    session.cameras[2].pose[1] = 2;
    img = frame();
    EXPECT_GT(CountPixels(img, QRect(apex - QPoint(4, 4), QSize(9, 9)), IsConeEdge), 0);
}

TEST_F(VistraSceneViewTest, ClicksBandsAndDoubleClickFillTheSelectionSets) {
    view->scale = 20;
    session.markers = {Marker(kTracker1Marker0, -1, 0.5f, 0), Marker(kTracker1Marker1, 0, 0.5f, 0),
                       Marker(kTracker17Marker, 1, 0.5f, 0)};
    session.rigids = {RigidRecord{7, 1, {0, -0.6f, 0, 1, 0, 0, 0}, 1, 4}};
    session.selectedCameras.Select(0);
    look({0, 0, 0}, 3);

    click(pixelOf({0, 0.5f, 0}));
    EXPECT_EQ(selected(session.selectedMarkers), std::vector<int>{kTracker1Marker1});
    EXPECT_EQ(view->hitCount, 1);
    click(pixelOf({1, 0.5f, 0}), Qt::ControlModifier);  // tracker 17 picks back as its marker
    EXPECT_EQ(selected(session.selectedMarkers), (std::vector<int>{kTracker1Marker1, kTracker17Marker}));
    click(pixelOf({0, -0.6f, 0}));  // a rigid body: exactly it among markers and rigids
    EXPECT_EQ(selected(session.selectedMarkers), std::vector<int>{});
    EXPECT_EQ(selected(session.selectedRigids), std::vector<int>{0});
    EXPECT_EQ(selected(session.selectedCameras), std::vector<int>{0});
    click({5, 590});  // nothing there: nothing changes
    EXPECT_EQ(selected(session.selectedRigids), std::vector<int>{0});

    // A band either way selects the same items.
    const QPoint a = pixelOf({-1.3f, 0.8f, 0}), b = pixelOf({0.3f, 0.2f, 0});
    band(a, b);
    EXPECT_EQ(selected(session.selectedMarkers), (std::vector<int>{kTracker1Marker0, kTracker1Marker1}));
    EXPECT_TRUE(session.selectedRigids.items.empty());
    session.selectedMarkers.Clear();
    band(b, a);
    EXPECT_EQ(selected(session.selectedMarkers), (std::vector<int>{kTracker1Marker0, kTracker1Marker1}));
    band({10, 580}, {60, 540});  // an empty band clears
    EXPECT_TRUE(session.selectedMarkers.items.empty());
    EXPECT_TRUE(session.selectedCameras.items.empty());

    // 'g' adds the marker under the pointer to the rulers.
    mouse(QEvent::MouseMove, pixelOf({-1, 0.5f, 0}), Qt::NoButton, Qt::NoButton);
    key("g");
    ASSERT_EQ(view->measurePoints.size(), 1u);
    EXPECT_EQ(view->measurePoints[0], (glview::Vec3f{-1, 0.5f, 0}));

    // A double click on empty space clears every set.
    session.selectedMarkers.Select(kTracker1Marker0);
    session.selectedRigids.Select(0);
    session.selectedCameras.Select(0);
    click({5, 590});
    mouse(QEvent::MouseButtonPress, {5, 590}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(session.selectedMarkers.items.empty());
    EXPECT_TRUE(session.selectedRigids.items.empty());
    EXPECT_TRUE(session.selectedCameras.items.empty());
}

TEST(VistraSceneViewLive, BodiesMoveWarningShowsAndBandPickedMarkersBecomeATracker) {
    testsupport::ServerProcess server({"--freq", "100", "--uncalibrated", "2,5"});
    ASSERT_TRUE(server.running());
    setenv("VEK_SCAN_PORT", std::to_string(server.discoveryPort()).c_str(), 1);
    VistraMainWindow window(nullptr, "Vistra Utility", WindowOptions(server.address(), true));
    window.session().trackers.emplace_back(vektk::kPointTracker, 1, std::vector<int>{8, 9, 10, 11, 12, 13});
    window.action(kSceneViewAction)->trigger();
    ASSERT_TRUE(window.sceneViewShown());
    EXPECT_TRUE(window.action(kSceneViewAction)->isChecked());
    SceneWidget* view = window.sceneView();
    ASSERT_TRUE(WaitFor([&] { return window.session().markers.size() >= 6; }, 3000));
    const QImage first = view->grabFramebuffer();
    EXPECT_TRUE(view->frameTexts().contains("WARNING: 2 uncalibrated cameras detected: 2, 5"));
    WaitFor([] { return false; }, 300);
    EXPECT_NE(view->grabFramebuffer(), first) << "the bodies do not move";

    // A band over the whole view picks the markers seen.
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), view->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    };
    send(QEvent::MouseButtonPress, {1, 1}, Qt::MiddleButton, Qt::MiddleButton);
    send(QEvent::MouseMove, {view->width() - 2, view->height() - 2}, Qt::NoButton, Qt::MiddleButton);
    view->grabFramebuffer();
    send(QEvent::MouseButtonRelease, {view->width() - 2, view->height() - 2}, Qt::MiddleButton, Qt::NoButton);
    EXPECT_FALSE(window.session().selectedMarkers.items.empty());
    std::vector<int> pickedLeds;
    for (const auto& [id, unused] : window.session().selectedMarkers.items) {
        EXPECT_EQ(vek_marker_tracker(id), 1);
        pickedLeds.push_back(8 + vek_marker_index(id));  // tracker 1 is on LEDs 8 ... 13
    }

    // The tracker bar's "Selected" makes a tracker of the markers picked
    // here, and the server streams its markers.
    const std::size_t before = window.session().trackers.size();
    window.trackerBar()->sl_SelectionTracker();
    ASSERT_EQ(window.session().trackers.size(), before + 1);
    const vektk::Tracker& made = window.session().trackers.back();
    std::vector<int> madeLeds;
    for (const vektk::MarkerDef& m : made.markers) madeLeds.push_back(m.led);
    std::sort(pickedLeds.begin(), pickedLeds.end());
    std::sort(madeLeds.begin(), madeLeds.end());
    EXPECT_EQ(madeLeds, pickedLeds);
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const auto& marker : window.session().markers)
                if (vek_marker_tracker(marker.id) == made.id) return true;
            return false;
        },
        2000));

    // A click on the native GL surface reaches the view and gives it the
    // keyboard; the window's shortcuts still work then.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.configToolbar()->setFocus();
    QTest::mouseClick(view->surface(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(view->mouseState()->x, 2);
    EXPECT_EQ(window.focusWidget(), view);
    QTest::keyClick(window.windowHandle(), Qt::Key_N);
    EXPECT_TRUE(view->markerLabels);
    QTest::keyClick(view, Qt::Key_F3);
    EXPECT_FALSE(window.sceneViewShown());
}

}  // namespace
