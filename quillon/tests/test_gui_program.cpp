// quillon from its command line: messages, exit statuses, and the main
// loop ended by Quit or by closing the window.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <server_process.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "editor_window.h"
#include "program.h"
#include "rigid_body_file.h"
#include "temp_dir.h"

using testsupport::TempDir;

namespace {

struct Outcome {
    int status;
    std::string output;  // standard output and standard error
};

Outcome Quillon(const std::string& args) {
    const std::string command = std::string(QUILLON_PROGRAM) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Outcome run{-1, ""};
    char buffer[512];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

const std::string kUsage = std::string("usage:  ") + QUILLON_PROGRAM + " [-h] file.rb\n";

TEST(QuillonProgram, CommandLineMessagesAndStatuses) {
    TempDir dir;
    const std::string good = dir.Write("good.rb", "1, 0 0 0\n");
    const std::string scaled = dir.Write("scaled.rb", "s, 2.0\n1, 0 0 0\n");

    Outcome help = Quillon("-h " + good);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output, kUsage +
                               "Rigid Body Editor.\n"
                               "  -h             display this message and exit\n"
                               "  file.rb        create a rigid body tracker from rigid body file\n");
    Outcome text = Quillon("a.txt");
    EXPECT_NE(text.status, 0);
    EXPECT_EQ(text.output, kUsage);
    EXPECT_EQ(Quillon(good + " b.RB").output, kUsage);  // the suffix is case-sensitive

    Outcome none = Quillon("");
    EXPECT_NE(none.status, 0);
    EXPECT_EQ(none.output, "no rigid bodies specified\n" + kUsage);

    // The last file wins: here the one with the scale line, which is refused.
    Outcome last = Quillon(good + " " + scaled);
    EXPECT_NE(last.status, 0);
    EXPECT_EQ(last.output, scaled + ":1: invalid string: s, 2.0\nno markers\n");
}

// Something to do with the running editor once its window is up (checked
// every 0.1 s); after 10 s without a window every window is closed, so
// that a test fails instead of hanging.
struct EditorAction {
    void (*act)(EditorWindow&);
    int tries = 0;
};

void ActWhenShown(void* data) {
    auto* action = static_cast<EditorAction*>(data);
    if (auto* window = dynamic_cast<EditorWindow*>(Fl::first_window()); window && window->shown()) {
        action->act(*window);
    } else if (++action->tries < 100) {
        Fl::repeat_timeout(0.1, ActWhenShown, data);
    } else {
        while (Fl_Window* w = Fl::first_window()) w->hide();
    }
}

int RunEditor(std::string path, void (*act)(EditorWindow&)) {
    std::string program = "quillon";
    std::vector<char*> argv = {program.data(), path.data(), nullptr};
    EditorAction action{act};
    Fl::add_timeout(0.1, ActWhenShown, &action);
    return RunQuillon(2, argv.data());
}

TEST(QuillonProgram, QuitAndClosingTheWindowEndWithStatusZero) {
    TempDir dir;
    const std::string path = dir.Write("body.rb", "1, 0 0 0\n2, 10 0 0");
    EXPECT_EQ(RunEditor(path, [](EditorWindow& w) { w.button(EditorWindow::kQuit).do_callback(); }), 0);
    // As the window manager's close does.
    EXPECT_EQ(RunEditor(path, [](EditorWindow& w) { w.hide(); }), 0);
}

// What a user does with a captured body: centre it, turn it a quarter
// about Y, apply, save, quit.
void CentreTurnSaveQuit(EditorWindow& window) {
    window.button(EditorWindow::kCenter).do_callback();
    window.button(EditorWindow::kApply).do_callback();
    window.rotationInput(1).setText("90");
    window.button(EditorWindow::kApply).do_callback();
    window.button(EditorWindow::kSave).do_callback();
    window.button(EditorWindow::kQuit).do_callback();
}

double Distance(const MarkerRecord& a, const MarkerRecord& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

TEST(QuillonProgram, EditsTheBodySnapwellCapturedFromVekd) {
    testsupport::ServerProcess server;
    ASSERT_TRUE(server.running());
    TempDir dir;
    std::string body = dir.File("body.rb");
    const std::string capture = std::string(SNAPWELL_PROGRAM) + " -s " + server.address() + " -m 6 -o " +
                                body + " 6 > " + dir.File("snapwell.out");
    ASSERT_EQ(std::system(capture.c_str()), 0) << TempDir::Read(dir.File("snapwell.out"));
    std::vector<MarkerRecord> captured, edited;
    std::ostringstream err;
    ASSERT_EQ(ReadRigidBodyFile(body, captured, err), 6) << err.str();

    testing::internal::CaptureStdout();
    EXPECT_EQ(RunEditor(body, CentreTurnSaveQuit), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "wrote to " + body + "\n");

    ASSERT_EQ(ReadRigidBodyFile(body, edited, err), 6) << err.str();
    double mean[3] = {0, 0, 0};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(edited[i].frame, captured[i].frame);
        mean[0] += edited[i].x / 6;
        mean[1] += edited[i].y / 6;
        mean[2] += edited[i].z / 6;
        for (std::size_t j = 0; j < i; ++j)  // the shape stays, up to the file's 0.1 mm
            EXPECT_NEAR(Distance(edited[i], edited[j]), Distance(captured[i], captured[j]), 0.2);
    }
    for (double m : mean) EXPECT_NEAR(m, 0, 1.0);  // centred, up to whole millimetres
    // A quarter turn about Y takes x to -z.
    const MarkerRecord& a = captured[1];
    const MarkerRecord& b = captured[2];
    EXPECT_NEAR(edited[1].z - edited[2].z, -(a.x - b.x), 0.2);
    EXPECT_NEAR(edited[1].x - edited[2].x, a.z - b.z, 0.2);
}

}  // namespace
