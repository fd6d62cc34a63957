// quillon from its command line: messages, exit statuses, and the main
// loop ended by Quit or by closing the window.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "editor_window.h"
#include "program.h"
#include "temp_dir.h"

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
    EXPECT_EQ(last.output, scaled + ":0: invalid string: s, 2.0\nno markers\n");
}

// Ends the running editor the way `how` says, once its window is up.
void EndEditor(void* how) {
    auto* window = dynamic_cast<EditorWindow*>(Fl::first_window());
    if (!window) return;
    if (std::string(static_cast<const char*>(how)) == "quit")
        window->button(EditorWindow::kQuit).do_callback();
    else
        window->hide();  // as the window manager's close does
}

TEST(QuillonProgram, QuitAndClosingTheWindowEndWithStatusZero) {
    TempDir dir;
    std::string path = dir.Write("body.rb", "1, 0 0 0\n2, 10 0 0");
    std::string program = "quillon";
    for (const char* how : {"quit", "close"}) {
        std::vector<char*> argv = {program.data(), path.data(), nullptr};
        Fl::add_timeout(0.3, EndEditor, const_cast<char*>(how));
        EXPECT_EQ(RunQuillon(2, argv.data()), 0) << how;
    }
}

}  // namespace
