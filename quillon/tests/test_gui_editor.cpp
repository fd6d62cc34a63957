// The editor in a real FLTK window: what the view draws, the buttons, the
// spinners, the layout and the view's keys and mouse.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Int_Input.H>

#include <array>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "editor_window.h"
#include "fltk/fltk_events.h"
#include "rigid_body_file.h"
#include "temp_dir.h"

using testsupport::TempDir;

namespace {

std::string Text(IntSpinner& s) { return s.text(); }

class QuillonEditor : public ::testing::Test {
protected:
    void open(const std::string& content) {
        path = dir.Write("body.rb", content);
        std::vector<MarkerRecord> markers;
        std::ostringstream err;
        ASSERT_GT(ReadRigidBodyFile(path, markers, err), 0) << err.str();
        window = std::make_unique<EditorWindow>(600, 700, path, markers);
        window->show();
        for (int i = 0; i < 20; ++i) Fl::wait(0.01);
        window->view().make_current();
        window->view().initialise();
        window->updateDisplay();
    }

    // Draws the view and reads its pixels back (rows from the bottom).
    void grab() {
        QuillonView& v = window->view();
        v.make_current();
        v.draw();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        pixels.assign(static_cast<std::size_t>(v.w() * v.h() * 3), 0);
        glReadPixels(0, 0, v.w(), v.h(), GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    }

    // Whether a white pixel lies within 10 pixels of the point's image.
    bool whiteNear(float x, float y, float z) {
        const glview::ViewCamera& c = window->view().camera;
        const glview::Matrix4 m = glview::multiply(c.projection, c.modelview);
        double clip[4];
        for (int r = 0; r < 4; ++r) clip[r] = m[r] * x + m[r + 4] * y + m[r + 8] * z + m[r + 12];
        const int px = static_cast<int>(c.viewport[0] + (clip[0] / clip[3] + 1) / 2 * c.viewport[2]);
        const int py = static_cast<int>(c.viewport[1] + (clip[1] / clip[3] + 1) / 2 * c.viewport[3]);
        const int w = window->view().w(), h = window->view().h();
        for (int j = std::max(0, py - 10); j <= std::min(h - 1, py + 10); ++j)
            for (int i = std::max(0, px - 10); i <= std::min(w - 1, px + 10); ++i) {
                const unsigned char* p = &pixels[static_cast<std::size_t>((j * w + i) * 3)];
                if (p[0] > 200 && p[1] > 200 && p[2] > 200) return true;
            }
        return false;
    }

    void press(int button) { window->button(button).do_callback(); }

    TempDir dir;
    std::string path;
    std::unique_ptr<EditorWindow> window;
    std::vector<unsigned char> pixels;
};

TEST_F(QuillonEditor, ViewDrawsTheMarkersAndFollowsTheInputsLive) {
    open("1, 600 0 0\n2, 600 0 0\n");
    window->view().scale = 10;  // spheres of 50 mm, some 12 pixels wide
    grab();
    EXPECT_TRUE(whiteNear(600, 0, 0));
    EXPECT_FALSE(whiteNear(0, 600, 0));
    window->rotationInput(2).setText("90");
    window->step();
    grab();
    EXPECT_TRUE(whiteNear(0, 600, 0));
    EXPECT_FALSE(whiteNear(600, 0, 0));
    EXPECT_EQ(window->displayed().size(), 2u);
    EXPECT_EQ(window->displayed()[1].id, 2);  // displayed by LED
}

TEST_F(QuillonEditor, CenterApplyResetAndSave) {
    open("7\n");
    press(EditorWindow::kCenter);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Text(window->positionInput(i)), "-0");

    open("1, 10 20 30\n2, 30 40 50\n3, 20 30 10");
    press(EditorWindow::kCenter);
    EXPECT_EQ(Text(window->positionInput(0)), "-20");
    EXPECT_EQ(Text(window->positionInput(2)), "-30");
    press(EditorWindow::kApply);
    double mean[3] = {0, 0, 0};
    for (const MarkerRecord& m : window->markers()) {
        mean[0] += m.x / 3;
        mean[1] += m.y / 3;
        mean[2] += m.z / 3;
    }
    for (double v : mean) EXPECT_NEAR(v, 0, 1e-4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Text(window->positionInput(i)), "0");
        EXPECT_EQ(Text(window->rotationInput(i)), "0");
    }
    // The applied body is saved whole: also the last line, which had no break.
    testing::internal::CaptureStdout();
    press(EditorWindow::kSave);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wrote to " + path + "\n");
    EXPECT_EQ(TempDir::Read(path), "1, -10.0 -10.0 0.0\n2, 10.0 10.0 20.0\n3, 0.0 0.0 -20.0\n");

    // A turn typed but not applied is saved too; the editor's markers keep
    // their place until Apply.
    open("4, 100 0 0\n5, 0 50 0\n");
    window->rotationInput(2).setText("90");
    press(EditorWindow::kSave);
    std::vector<MarkerRecord> saved;
    std::ostringstream err;
    ASSERT_EQ(ReadRigidBodyFile(path, saved, err), 2);
    EXPECT_EQ(saved[0].frame, 4);
    EXPECT_NEAR(saved[0].x, 0, 0.05);
    EXPECT_NEAR(saved[0].y, 100, 0.05);
    EXPECT_NEAR(saved[1].x, -50, 0.05);
    EXPECT_FLOAT_EQ(window->markers()[0].x, 100);

    testing::internal::CaptureStdout();
    window->positionInput(1).setText("12");
    press(EditorWindow::kReset);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Reset\n");
    EXPECT_EQ(Text(window->positionInput(1)), "0");
    EXPECT_EQ(Text(window->rotationInput(2)), "0");
}

TEST_F(QuillonEditor, SpinnersStepWithinTheirRangeAndTheLayoutFollowsTheWindow) {
    open("1, 0 0 0\n");
    IntSpinner& x = window->positionInput(0);
    x.setText("9999999");
    x.upArrow()->do_callback();
    EXPECT_EQ(Text(x), "10000000");
    x.upArrow()->do_callback();
    EXPECT_EQ(Text(x), "10000000");
    x.setText("-10000000");
    x.downArrow()->do_callback();
    EXPECT_EQ(Text(x), "-10000000");
    x.setText("99999999999999999999");  // beyond int: clamped, not wrapped
    x.input()->do_callback();
    EXPECT_EQ(Text(x), "10000000");
    x.setText("abc");
    x.upArrow()->do_callback();
    EXPECT_EQ(Text(x), "1");

    auto geometry = [](Fl_Widget& w) { return std::array<int, 4>{w.x(), w.y(), w.w(), w.h()}; };
    EXPECT_EQ(geometry(window->view()), (std::array<int, 4>{0, 0, 600, 575}));
    EXPECT_EQ(geometry(window->rotationInput(1)), (std::array<int, 4>{190, 635, 56, 25}));
    EXPECT_EQ(geometry(*window->rotationInput(1).input()), (std::array<int, 4>{190, 635, 40, 25}));
    EXPECT_EQ(geometry(*window->rotationInput(1).downArrow()), (std::array<int, 4>{230, 647, 16, 12}));
    window->resize(window->x(), window->y(), 800, 900);
    EXPECT_EQ(geometry(window->view()), (std::array<int, 4>{0, 0, 800, 775}));
    EXPECT_EQ(geometry(window->button(EditorWindow::kCenter)), (std::array<int, 4>{645, 785, 70, 25}));
    EXPECT_EQ(geometry(window->button(EditorWindow::kQuit)), (std::array<int, 4>{720, 860, 70, 25}));
    EXPECT_EQ(geometry(window->positionInput(2)), (std::array<int, 4>{280, 785, 56, 25}));
}

TEST_F(QuillonEditor, ViewKeysAndMouseEditCameraAndPose) {
    open("1, 0 0 0\n");
    QuillonView& view = window->view();
    EXPECT_FLOAT_EQ(view.camera.r, 2000);
    EXPECT_EQ(view.camera.rotation, (glview::Vec3f{45, 0, 0}));
    grab();  // the pointer ray needs the first frame's matrices

    // Events as FLTK delivers them.
    Fl::e_state = 0;
    Fl::e_dy = -1;
    view.handle(FL_MOUSEWHEEL);
    EXPECT_FLOAT_EQ(view.camera.r, 2000 / 1.1f);
    auto drag = [&](int state, int fromX, int toX) {
        Fl::e_state = state;
        Fl::e_keysym = FL_Button + 3;
        Fl::e_x = fromX;
        Fl::e_y = 300;
        view.handle(FL_PUSH);
        Fl::e_x = toX;
        view.handle(FL_DRAG);
        view.handle(FL_RELEASE);
    };
    drag(0, 300, 310);
    EXPECT_FLOAT_EQ(view.camera.rotation[1], 10);
    drag(FL_CTRL, 300, 310);                                            // turns the edited pose about z
    EXPECT_NEAR(view.editedPose[6], std::sin(0.5 * M_PI / 180), 1e-5);  // 1 degree

    char ctrlR[] = "\x12";
    Fl::e_state = FL_CTRL;
    Fl::e_text = ctrlR;
    Fl::e_length = 1;
    EXPECT_EQ(view.handle(FL_KEYDOWN), 1);
    EXPECT_EQ(view.editedPose, (std::array<float, 7>{0, 0, 0, 1, 0, 0, 0}));

    EXPECT_TRUE(view.key('x', true));
    EXPECT_EQ(view.camera.rotation, (glview::Vec3f{0, 90, 0}));
    EXPECT_TRUE(view.key('z', true));
    EXPECT_EQ(view.camera.rotation, (glview::Vec3f{0, 180, 0}));
    view.camera.target = {100, 0, -20};
    EXPECT_TRUE(view.key('o', true));
    EXPECT_EQ(view.editedPose[0], -100);
    EXPECT_EQ(view.editedPose[2], 20);
    EXPECT_EQ(view.camera.target, (glview::Vec3f{0, 0, 0}));

    EXPECT_EQ(CoreKey("", 0, FL_F + 2), 258);
    EXPECT_EQ(CoreKey("", 0, FL_Shift_L), 0);
    EXPECT_EQ(CoreKey("", 0, FL_Escape), 27);
    EXPECT_TRUE(view.key(glview::kEscape, false));
    EXPECT_TRUE(window->shown());
    EXPECT_TRUE(view.key(glview::kEscape, true));
    EXPECT_FALSE(window->shown());
}

}  // namespace
