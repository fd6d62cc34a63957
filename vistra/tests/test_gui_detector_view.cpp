// The detector view drawn from known peaks, read back from the framebuffer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "session/detector_session.h"
#include "gui_test_app.h"
#include "window/viewer_main_window.h"

namespace {

ImageRecord Peak(int id, int camera, int detector, float pos, int width = 1) {
    return ImageRecord{id, 7, camera, detector, width, 0, pos, 100.0f};
}

class VistraDetectorViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        session.cameras.resize(2);
        view = std::make_unique<DetectorWidget>(nullptr, "view", 0, 0, 800, 600);
        view->setDetectorSession(&session);
        view->show();
        QApplication::processEvents();
        view->initialise();
    }

    QImage frame() { return view->grabFramebuffer(); }
    // Pixel column of unit-square x in a w-wide window at the view's zoom and pan.
    int columnOf(float u) const { return static_cast<int>(800 * view->zoom * (u + view->panX)); }

    void key(int qtKey, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
        QApplication::sendEvent(view.get(), &press);
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), view->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
    }

    DetectorSession session{std::cout};
    std::unique_ptr<DetectorWidget> view;
};

TEST_F(VistraDetectorViewTest, DetectorZeroPeakIsVerticalGreenLineAsWideAsThePeak) {
    session.images = {Peak(0, 0, 0, 0.25f, 46)};  // 46 / 3680 x 800 = 10 pixels
    const QImage img = frame();
    const int row = 300;
    EXPECT_TRUE(IsGreen(img.pixel(600, row)));
    const int green = CountPixels(img, QRect(580, row, 40, 1), IsGreen);
    EXPECT_GE(green, 9);
    EXPECT_LE(green, 11);
    EXPECT_TRUE(IsBlack(img.pixel(590, row)));
    EXPECT_TRUE(IsBlack(img.pixel(610, row)));
    // Full height.
    EXPECT_TRUE(IsGreen(img.pixel(600, 2)));
    EXPECT_TRUE(IsGreen(img.pixel(600, 597)));
}

TEST_F(VistraDetectorViewTest, DensePeaksDrawnAsStripsLookTheSame) {
    // 300 vertical and 150 horizontal lines: past the strip threshold.
    for (int i = 0; i < 300; ++i) session.images.push_back(Peak(-1, 0, 0, 0.3f + i * 0.001f));
    for (int i = 0; i < 150; ++i) session.images.push_back(Peak(-1, 0, 1, 0.9f + i * 0.0005f));
    session.images.push_back(Peak(0, 0, 0, 0.25f, 46));
    session.images.push_back(Peak(1, 0, 1, 0.25f, 46));  // 46 / 3680 x 600 = 7.5, 8 rows
    const QImage img = frame();
    const int green = CountPixels(img, QRect(580, 100, 40, 1), IsGreen);
    EXPECT_GE(green, 9);
    EXPECT_LE(green, 11);
    EXPECT_TRUE(IsGreen(img.pixel(600, 2)));
    EXPECT_TRUE(IsBlack(img.pixel(590, 100)));
    EXPECT_GE(CountPixels(img, QRect(100, 440, 1, 20), IsGreen), 7);  // rows around 450
    EXPECT_TRUE(IsRed(img.pixel(800 - 241, 100)));  // pos 0.3 + 0.001 x 0.. : column 560 - i x 0.8
    EXPECT_TRUE(IsRed(img.pixel(100, 600 - 541)));  // pos 0.9 + ...: rows from 540 up
    EXPECT_TRUE(IsBlack(img.pixel(100, 300)));
}

TEST_F(VistraDetectorViewTest, NarrowPeakStillOnePixelAndUnassignedPeakIsRed) {
    session.images = {Peak(0, 0, 0, 0.5f, 1), Peak(-1, 0, 1, 0.75f, 1)};
    const QImage img = frame();
    EXPECT_GE(CountPixels(img, QRect(396, 100, 8, 1), IsGreen), 1);
    // Detector 1: horizontal line at y = 0.75 from the bottom.
    EXPECT_GE(CountPixels(img, QRect(100, 146, 1, 8), IsRed), 1);
    // One full-width line (the green line crosses it).
    EXPECT_NEAR(CountPixels(img, QRect(0, 0, 800, 600), IsRed), 800, 2);
}

TEST_F(VistraDetectorViewTest, OtherCamerasPeaksAreNotDrawn) {
    session.images = {Peak(0, 1, 0, 0.25f, 46)};
    EXPECT_EQ(CountPixels(frame(), QRect(0, 0, 800, 600), IsGreen), 0);
}

TEST_F(VistraDetectorViewTest, MarkerCrossingGetsSquareAndLabel) {
    // Marker 3 of tracker 0 seen by both detectors: crossing at (0.5, 0.25).
    session.images = {Peak(3, 0, 0, 0.5f), Peak(3, 0, 1, 0.25f)};
    const QImage img = frame();
    // Square of half-size 0.005: 4 pixels across, 3 up and down, around (400, row 450).
    EXPECT_GE(CountPixels(img, QRect(395, 452, 4, 3), IsWhite), 2);
    // Label "3" right of and above the point: its baseline 3 pixels above
    // the point's row, on the square's top edge, from column 403 on.
    const QFont font(QStringLiteral("Helvetica"), 8);
    const QFontMetrics metrics(font);
    const int ascent = metrics.ascent();
    const QRect label(403, 447 - ascent, metrics.horizontalAdvance("3") + 1, ascent);
    const int white = WhitePixelsOfText("3", font, true);
    ASSERT_GT(white, 0);
    EXPECT_EQ(CountPixels(img, label, IsWhite), white);
    // Nothing white far from it.
    EXPECT_EQ(CountPixels(img, QRect(0, 0, 300, 600), IsWhite), 0);
}

TEST_F(VistraDetectorViewTest, ZoomKeysAndDragMovePeaks) {
    session.images = {Peak(0, 0, 0, 0.75f, 1)};  // x = 0.25
    frame();
    EXPECT_FLOAT_EQ(view->zoom, 1.0f);  // raised by the first drawing
    key(Qt::Key_Z, "Z");
    EXPECT_FLOAT_EQ(view->zoom, 1.5f);
    EXPECT_GE(CountPixels(frame(), QRect(columnOf(0.25f) - 1, 300, 3, 1), IsGreen), 1);

    mouse(QEvent::MouseMove, {100, 300}, Qt::NoButton, Qt::NoButton);
    mouse(QEvent::MouseButtonPress, {100, 300}, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, {180, 300}, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {180, 300}, Qt::LeftButton, Qt::NoButton);
    EXPECT_NEAR(view->panX, 80.0f / 800 / 1.5f, 1e-6);
    EXPECT_NEAR(columnOf(0.25f), 380, 1);
    EXPECT_GE(CountPixels(frame(), QRect(378, 300, 4, 1), IsGreen), 1);

    key(Qt::Key_Z, "z");
    EXPECT_FLOAT_EQ(view->zoom, 1.0f);
    key(Qt::Key_R, "R");
    EXPECT_FLOAT_EQ(view->panX, 0.0f);
    EXPECT_GE(CountPixels(frame(), QRect(199, 300, 3, 1), IsGreen), 1);

    // Vertical wheel steps zoom; horizontal ones, either way, do not.
    for (const QPoint delta : {QPoint(0, 120), QPoint(120, 0), QPoint(-120, 0)}) {
        QWheelEvent wheel(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), delta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.get(), &wheel);
        EXPECT_FLOAT_EQ(view->zoom, 1.05f) << delta.x();
    }
}

TEST_F(VistraDetectorViewTest, KeysInMultiViewLeaveZoomAlone) {
    frame();
    view->multiView = true;
    key(Qt::Key_Z, "Z");
    key(Qt::Key_R, "R");
    EXPECT_FLOAT_EQ(view->zoom, 1.0f);
    mouse(QEvent::MouseButtonPress, {100, 300}, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, {180, 300}, Qt::NoButton, Qt::LeftButton);
    EXPECT_FLOAT_EQ(view->panX, 0.0f);
}

TEST_F(VistraDetectorViewTest, TabCyclesCamerasAndFFlipsFastMode) {
    key(Qt::Key_Tab, "\t");
    EXPECT_EQ(view->selectedCamera, 1);
    key(Qt::Key_Tab, "\t");
    EXPECT_EQ(view->selectedCamera, 0);

    testing::internal::CaptureStdout();
    key(Qt::Key_F, "f");
    key(Qt::Key_F, "f");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "fast-mode: on\nfast-mode: off\n");
    EXPECT_FALSE(session.fastMode);
}

TEST(VistraMultiViewDrawing, FiveCamerasIn810x610FormThreeColumnsTwoRowsOf266) {
    DetectorSession session(std::cout);
    session.cameras.resize(5);
    // In cell 0: an unassigned peak (a red line through the centre) and a
    // crossing 0.4 r up and right, turned 45 degrees and scaled by 0.707:
    // straight up 0.4 r = 51 pixels.
    session.images = {Peak(-1, 0, 0, 0.5f), Peak(3, 0, 0, 0.3f), Peak(3, 0, 1, 0.7f)};
    DetectorWidget view(nullptr, "view", 0, 0, 810, 610);
    view.setDetectorSession(&session);
    view.multiView = true;
    view.show();
    QApplication::processEvents();
    const QImage img = view.grabFramebuffer();
    ASSERT_EQ(img.width(), 810);
    // Cell 0 centred at (139, 172), cell 5 would be at (671, 438); diamonds reach r = 126.7.
    auto greyNear = [&](int x, int y) { return CountPixels(img, QRect(x - 3, y - 3, 7, 7), IsGrey); };
    EXPECT_GT(greyNear(139 + 126, 172), 0);
    EXPECT_GT(greyNear(139, 172 - 126), 0);
    EXPECT_GT(greyNear(139 + 2 * 266 + 126, 172), 0);    // third column
    EXPECT_GT(greyNear(139 + 266 + 126, 172 + 266), 0);  // cell 4
    EXPECT_EQ(greyNear(671 + 126, 438), 0);              // no sixth cell
    // Inner green square of half-size 0.2 r.
    EXPECT_GT(CountPixels(img, QRect(139 + 22, 169, 6, 7), IsGreen), 0);
    EXPECT_GT(CountPixels(img, QRect(139 - 3, 172 - 3, 7, 7), IsRed), 0);
    EXPECT_GT(CountPixels(img, QRect(139 - 3, 172 - 51 - 3, 7, 7), IsWhite), 0);
    EXPECT_EQ(CountPixels(img, QRect(139 + 266 - 3, 172 - 3, 7, 7), IsRed), 0);  // only cell 0 has peaks
    // Camera labels are drawn: "1" near the first cell's top left corner.
    EXPECT_EQ(CountPixels(img, QRect(40, 30, 60, 60), IsWhite),
              WhitePixelsOfText("1", QFont(QStringLiteral("Helvetica"), 8)));
}

}  // namespace
