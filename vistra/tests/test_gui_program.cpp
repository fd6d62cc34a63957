// vistra as a user runs it, as a separate process.
#include <gtest/gtest.h>

#include <limits.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <QGuiApplication>
#include <QScreen>

#include "gui_test_app.h"
#include "lab_key.h"
#include "server_process.h"
#include "unique_fd.h"

namespace {

// A child process whose standard output is a terminal (so it is line
// buffered, as for a user) readable from here.
class Program {
public:
    // `unset`: environment variables the program runs without.
    explicit Program(std::vector<std::string> args, const std::vector<std::string>& unset = {}) {
        termios raw{};
        cfmakeraw(&raw);  // no "\r\n" translation
        int terminal = -1;
        pid_ = forkpty(&terminal, nullptr, &raw, nullptr);
        out_.reset(terminal);
        if (pid_ == 0) {
            for (const std::string& name : unset) unsetenv(name.c_str());
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(VISTRA_PROGRAM));
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(VISTRA_PROGRAM, argv.data());
            _exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Reads output until `text` appears or ms pass.
    bool waitFor(const std::string& text, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (output.find(text) == std::string::npos) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{out_.get(), POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[PIPE_BUF];
            const ssize_t n = read(out_.get(), buf, sizeof buf);
            if (n <= 0) return false;
            output.append(buf, static_cast<std::size_t>(n));
        }
        return true;
    }
    // Exit status, or -1 when still running after ms.
    int exitStatus(int ms) {
        for (int waited = 0; waited <= ms; waited += 10) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }

    std::string output;

private:
    pid_t pid_ = -1;
    vekwire::UniqueFd out_;  // the terminal's master side
};

TEST(VistraProgram, HelpPrintsAndExitsZeroWithoutWindow) {
    Program vistra({"-h"});
    vistra.waitFor("file.pt", 2000);
    EXPECT_EQ(vistra.exitStatus(2000), 0);
    EXPECT_NE(vistra.output.find("\nVistra Utility\n  -fps           set the frames per second displayed\n"),
              std::string::npos);
    EXPECT_EQ(vistra.output.find("version"), std::string::npos);
}

TEST(VistraProgram, WithoutDisplaySaysSoAndExitsOne) {
    Program vistra({"-fps", "30"}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_TRUE(vistra.waitFor("error: cannot open display (DISPLAY is not set)\n", 5000)) << vistra.output;
    EXPECT_NE(vistra.output.find("fps: 30\n"), std::string::npos) << vistra.output;
    EXPECT_EQ(vistra.exitStatus(5000), 1);
}

TEST(VistraProgram, ALabKeyFileItCannotUseEndsItWithTheReason) {
    const std::string key = ::testing::TempDir() + "vistra_loose_" + std::to_string(getpid()) + ".key";
    std::string why;
    ASSERT_TRUE(vekwire::LabKey::generate().write(key, why)) << why;
    ::chmod(key.c_str(), 0644);
    Program vistra({"-key", key});
    EXPECT_TRUE(vistra.waitFor("error: lab key file " + key + ": permissions 0644 are too open", 3000))
        << vistra.output;
    EXPECT_EQ(vistra.exitStatus(3000), 1);
    std::remove(key.c_str());
}

TEST(VistraProgram, ConnectsStreamsPeaksAndSurvivesTheServerGoing) {
    testsupport::ServerProcess server({"--freq", "480"});
    ASSERT_TRUE(server.running());
    setenv("VEK_SCAN_PORT", std::to_string(server.discoveryPort()).c_str(), 1);
    Program vistra({"-connect", "-s", server.address()});
    // The first frame with camera records sizes the peak tables for the 64
    // markers of the tracker made on connecting, and the peaks of camera 1
    // are on the screen soon after, green: that tracker holds every LED of
    // the scene.
    EXPECT_TRUE(vistra.waitFor("resize 64 8 2\n", 2000)) << vistra.output;
    const bool peaksShown = WaitFor(
        [] {
            const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            return CountPixels(screen, screen.rect(), IsGreen) > 2000;
        },
        4000);
    EXPECT_TRUE(peaksShown);
    EXPECT_NE(vistra.output.find("version: "), std::string::npos);
    server.stop();
    EXPECT_TRUE(vistra.waitFor("vek stopped\n", 3000)) << vistra.output;
    EXPECT_EQ(vistra.exitStatus(300), -1);  // still running, no crash
    unsetenv("VEK_SCAN_PORT");
}

}  // namespace
