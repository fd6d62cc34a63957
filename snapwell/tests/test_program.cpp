// snapwell as a user runs it, against a real vekd on an ephemeral port.
#include <scene.h>
#include <lab_key.h>
#include <scripted_peer.h>
#include <server_process.h>
#include <temp_dir.h>
#include <unique_fd.h>
#include <veksock.h>
#include <wire.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::ProgramRun;
using testsupport::TempDir;
using vekwire::UniqueFd;

namespace {

struct Point {
    int index;
    float x, y, z;
};

// Loads body lines back in the rigid body line form.
std::vector<Point> parseBody(const std::string& text) {
    std::vector<Point> points;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        Point p{};
        if (std::sscanf(line.c_str(), "%d, %f %f %f", &p.index, &p.x, &p.y, &p.z) == 4) points.push_back(p);
    }
    return points;
}

double distance(const float* a, const float* b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

class SnapwellProgram : public ::testing::Test {
protected:
    static inline testsupport::ServerProcess* server = nullptr;
    TempDir folder;
    const fs::path dir = folder.path();

    static void SetUpTestSuite() { server = new testsupport::ServerProcess(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(server->running()); }

    // Runs snapwell in `dir` with HOME = dir; `env` goes before the program.
    ProgramRun run(const std::string& args, const std::string& env = "") const {
        return folder.Run(env + " " + SNAPWELL_PATH + " " + args);
    }
    std::string address() const { return " -s " + server->address() + " "; }

    // Runs snapwell in `dir` as a process that may not write a byte to a
    // file, as on a full disk (writes fail, with EFBIG for ENOSPC); both
    // output streams come back through one pipe, in `out`.
    ProgramRun runOnFullDisk(const std::vector<std::string>& args) const {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
        UniqueFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
        const pid_t child = fork();
        if (child < 0) return {};
        if (child == 0) {
            dup2(writeEnd.get(), 1);
            dup2(writeEnd.get(), 2);
            setenv("HOME", dir.c_str(), 1);
            unsetenv("VEK_SERVER");
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit none{0, 0};
            setrlimit(RLIMIT_FSIZE, &none);
            std::vector<char*> argv{const_cast<char*>(SNAPWELL_PATH)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            if (chdir(dir.c_str()) == 0) execv(SNAPWELL_PATH, argv.data());
            _exit(127);
        }
        writeEnd.reset();
        ProgramRun result;
        char buffer[PIPE_BUF];
        ssize_t n;
        while ((n = read(readEnd.get(), buffer, sizeof buffer)) > 0)
            result.out.append(buffer, static_cast<size_t>(n));
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status)) result.status = WEXITSTATUS(status);
        return result;
    }

    // Starts a capture of 100 frames in the background; its exit status
    // goes to the file "status".
    void startLongCapture(const testsupport::ServerProcess& on) const {
        ASSERT_TRUE(on.running());
        const std::string command = "cd " + dir.string() + " && (env -u VEK_SERVER HOME=" + dir.string() +
                                    " " + SNAPWELL_PATH + " -s " + on.address() +
                                    " -m 6 -c 100 -o body.rb 6 > out 2> err; echo $? > status) &";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string waitForStatus() const {
        std::string status;
        for (int i = 0; i < 200 && status.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            status = TempDir::Read(dir / "status");
        }
        return status;
    }

    static void expectShapeOfDefaultBody(const std::vector<Point>& points) {
        const vekd::Scene scene = vekd::defaultScene();
        for (std::size_t i = 0; i < points.size(); ++i) {
            for (std::size_t j = i + 1; j < points.size(); ++j) {
                float a[3], b[3];
                ASSERT_TRUE(vekd::ledPosition(scene, static_cast<int>(i), 0.0, a));
                ASSERT_TRUE(vekd::ledPosition(scene, static_cast<int>(j), 0.0, b));
                const float pi[3] = {points[i].x, points[i].y, points[i].z};
                const float pj[3] = {points[j].x, points[j].y, points[j].z};
                EXPECT_NEAR(distance(pi, pj), distance(a, b), 0.1) << "LEDs " << i << ", " << j;
            }
        }
    }
};

}  // namespace

TEST_F(SnapwellProgram, CapturesTheMovingDefaultBodyIntoAFile) {
    const ProgramRun r = run(address() + "-m 6 -o body.rb 6");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("version: "), std::string::npos);
    EXPECT_NE(r.out.find("point tracker: 0, markers: 6\nmarkers=6\n\n\n"), std::string::npos);
    EXPECT_NE(r.out.find("markers captured: ok ok ok ok ok ok  out of 6   \r\nwrote to body.rb\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("markers captured: 1 1 1 1 1 1  out of 6   \r"), std::string::npos);

    const std::string file = TempDir::Read(dir / "body.rb");
    const auto points = parseBody(file);
    ASSERT_EQ(points.size(), 6u) << file;
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(points[i].index, i);
    // Origin at the first marker; general notation in the file.
    EXPECT_EQ(file.substr(0, 9), "0, 0 0 0\n");
    expectShapeOfDefaultBody(points);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3);  // out, err, body.rb
    EXPECT_TRUE(server->waitForOutput("connected: flags 0x0 "));

    // The quality report follows; a clean body stays well under 0.5 mm.
    const std::string report = r.out.substr(r.out.find("wrote to body.rb\n") + 17);
    EXPECT_EQ(report.rfind("capture quality (body-frame spread, RMS):\n", 0), 0u) << report;
    for (int led = 0; led < 6; ++led) {
        const std::string at = "  LED " + std::to_string(led) + ": 11 frames, spread ";
        const auto line = report.find(at);
        ASSERT_NE(line, std::string::npos) << report;
        EXPECT_LT(std::stod(report.substr(line + at.size())), 0.2) << report;
    }
    EXPECT_NE(report.find("  body: mean spread 0.0"), std::string::npos) << report;
    EXPECT_EQ(report.find("warning"), std::string::npos) << report;
}

TEST_F(SnapwellProgram, TheQualityReportNamesAWobblingLed) {
    // LED 5 shakes 1.5 mm on its body; the body goes to standard output,
    // so the report goes to standard error.
    testsupport::ServerProcess wobbling({"--scene", SNAPWELL_SCENES "/wobbling_led.scene"});
    const ProgramRun r = run("-s " + wobbling.address() + " -m 6 6");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(parseBody(r.out.substr(r.out.rfind('\r') + 1)).size(), 6u);
    EXPECT_EQ(r.out.find("capture quality"), std::string::npos);
    EXPECT_EQ(r.err.rfind("capture quality (body-frame spread, RMS):\n", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nwarning: LED 5 spread "), std::string::npos) << r.err;
    double worst = 0;
    int worstLed = -1;
    for (int led = 0; led < 6; ++led) {
        const std::string at = "  LED " + std::to_string(led) + ": 11 frames, spread ";
        const double spread = std::stod(r.err.substr(r.err.find(at) + at.size()));
        if (spread > worst) std::tie(worst, worstLed) = std::tie(spread, led);
    }
    EXPECT_EQ(worstLed, 5) << r.err;
}

TEST_F(SnapwellProgram, PointFileGlobalVerboseModeFlagsAndConfigPose) {
    // The pose file in HOME shifts all reported data by 1000 mm along x.
    std::ofstream(dir / ".vek_paint") << "1000 0 0 1 0 0 0\n";
    std::ofstream(dir / "body.pt") << "# the default body\n0\n1, 0 0 0\n2\n3\n4\n5\n";
    const ProgramRun r = run(address() + "-1 -2 -g -v -m 6 body.pt");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(server->waitForOutput("connected: flags 0x300 "));
    EXPECT_NE(r.out.find("point tracker: 0, markers: 6\n"), std::string::npos);
    EXPECT_NE(r.out.find("LED : Position = "), std::string::npos);
    EXPECT_NE(r.out.find("   Approximate jitter estimate: "), std::string::npos);

    // Written to standard output at the verbose report's precision of 5.
    const std::string body = r.out.substr(r.out.rfind("\n\n\n") + 3);
    const auto points = parseBody(body);
    ASSERT_EQ(points.size(), 6u) << body;
    for (std::size_t i = 0, pos = 0; i < points.size(); ++i) {
        const std::size_t end = body.find('\n', pos);
        const std::string line = body.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t dot = line.rfind('.');
        ASSERT_NE(dot, std::string::npos) << line;
        EXPECT_EQ(line.size() - dot - 1, 5u) << line;
    }
    expectShapeOfDefaultBody(points);

    // World coordinates (shifted by the pose): the body as it stood at some
    // moment of the run.
    const vekd::Scene scene = vekd::defaultScene();
    const auto worst = [&](double t) {
        double d = 0;
        for (const Point& p : points) {
            float led[3];
            vekd::ledPosition(scene, p.index, t, led);
            led[0] += 1000.0f;
            const float xyz[3] = {p.x, p.y, p.z};
            d = std::max(d, distance(xyz, led));
        }
        return d;
    };
    double best = 1e9, bestT = 0;
    for (double t = 0; t < 120; t += 0.002) {
        if (const double d = worst(t); d < best) {
            best = d;
            bestT = t;
        }
    }
    for (double t = bestT - 0.002; t < bestT + 0.002; t += 0.00005) best = std::min(best, worst(t));
    EXPECT_LT(best, 0.5) << "at t=" << bestT;
}

TEST_F(SnapwellProgram, MoreSettledMarkersThanMaxFailsWithoutAFile) {
    const ProgramRun r = run("-m 3 -o body.rb 6", "VEK_SERVER=" + server->address());
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "number of visible markers exceeds 'max'\n");
    EXPECT_FALSE(fs::exists(dir / "body.rb"));
}

TEST_F(SnapwellProgram, UsageHelpAndRefusedArguments) {
    const ProgramRun help = run("-h");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.substr(0, help.out.find('\n')),
              std::string("usage:  ") + SNAPWELL_PATH +
                  " [-s server | -d device] [-v] [-h] [-g] -m max -o file point#");
    EXPECT_NE(help.out.find("\nRigid body capture utility version 2.0\n"), std::string::npos);
    EXPECT_NE(help.out.find("\n  point#     # of points\n"), std::string::npos);

    for (const char* args : {"", "six", "-m 6 -s"}) {
        const ProgramRun usage = run(args);
        EXPECT_NE(usage.status, 0) << args;
        EXPECT_EQ(usage.out.rfind("usage:  ", 0), 0u) << args;
    }
    const ProgramRun nine = run(address() + "-c 9 6");
    EXPECT_NE(nine.status, 0);
    EXPECT_EQ(nine.err, "error:  invalid frame count (9)\n");
    const ProgramRun hundredOne = run(address() + "-c 101 6");
    EXPECT_NE(hundredOne.status, 0);
    EXPECT_EQ(hundredOne.err, "error:  invalid frame count (101)\n");

    const ProgramRun zero = run(address() + "6 0");
    EXPECT_NE(zero.status, 0);
    EXPECT_EQ(zero.err.rfind("error: invalid point count (0)", 0), 0u) << zero.err;
    EXPECT_EQ(zero.out, "");  // refused before connecting
}

TEST_F(SnapwellProgram, FailuresBeforeTheCapture) {
    const int port = testsupport::unusedPort();
    const ProgramRun refused = run("-s 127.0.0.1:" + std::to_string(port) + " 6");
    EXPECT_EQ(refused.status, 255);
    EXPECT_EQ(refused.err, "Is vekd running on 127.0.0.1:" + std::to_string(port) + "?\n");

    // Another master holds the server: the server's reason, in its words.
    ASSERT_GE(vekInit(server->address().c_str(), 0), 0);
    const ProgramRun busy = run(address() + "6");
    vekDone();
    EXPECT_EQ(busy.status, 255);
    EXPECT_EQ(busy.err, "vekInit: another client controls vekd; a slave connection can watch its data\n");
    // A peer that does not speak the protocol: what broke, in the library's words.
    const testsupport::ScriptedPeer broken({"HTTP/1.0 400 Bad Request\r\n\r\n"});
    const ProgramRun garbled = run("-s " + broken.address() + " 6");
    EXPECT_EQ(garbled.status, 255);
    EXPECT_EQ(garbled.err,
              "vekInit: vekd and this library do not speak the same protocol: unknown message kind 12591\n");

    const ProgramRun missing = run(address() + "4 none.pt");
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(missing.err, "error opening none.pt: No such file or directory\n");
    EXPECT_EQ(missing.out.find("point tracker:"), std::string::npos);  // no tracker made

    std::ofstream(dir / "empty.pt") << "# nothing\n";
    const ProgramRun empty = run(address() + "empty.pt");
    EXPECT_NE(empty.status, 0);
    EXPECT_EQ(empty.err.rfind("error: empty.pt holds 0 markers", 0), 0u) << empty.err;

    // A HOME whose config path does not fit the 256-byte buffer.
    const ProgramRun longHome = run(address() + "6", "HOME=/" + std::string(300, 'h'));
    EXPECT_NE(longHome.status, 0);
    EXPECT_NE(longHome.err.find("error: check failed: snprintf(path, 256"), std::string::npos)
        << longHome.err;
}

TEST_F(SnapwellProgram, PassesTheLabKeyOfItsCommandLineOrOfVekKeyFile) {
    const std::string key = (dir / "lab.key").string();
    std::string why;
    ASSERT_TRUE(vekwire::LabKey::generate().write(key, why)) << why;
    testsupport::ServerProcess keyed({"--bind", "127.0.0.2", "--key-file", key});
    const std::string args = "-s " + keyed.address() + " -m 6 6";
    const ProgramRun without = run(args);
    EXPECT_EQ(without.status, 255);
    EXPECT_EQ(without.err, "vekInit: not authorised: wrong or missing key\n");
    EXPECT_EQ(run("-key " + key + " " + args).status, 0);
    EXPECT_EQ(run(args, "VEK_KEY_FILE=" + key).status, 0);
    ::chmod(key.c_str(), 0644);
    const ProgramRun loose = run("-key " + key + " " + args);
    EXPECT_EQ(loose.status, 1);
    EXPECT_EQ(loose.err.rfind("error: lab key file " + key + ": permissions 0644 are too open", 0), 0u)
        << loose.err;
}

TEST_F(SnapwellProgram, EmptyCapturesAndUnwritableTargetsNeverPassAsWritten) {
    // Without -m the first frame ends the capture with nothing settled: a
    // failure, and the body file already there is left as it was.
    std::ofstream(dir / "body.rb") << "0, 0 0 0\n1, 5 0 0\n";
    for (const char* args : {"-o body.rb 6", "-m abc -o body.rb 6"}) {
        const ProgramRun r = run(address() + args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_NE(r.out.find("markers captured: 1 1 1 1 1 1  out of 0   \r\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("wrote to"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "error: no marker was captured; nothing written\n");
        EXPECT_EQ(TempDir::Read(dir / "body.rb"), "0, 0 0 0\n1, 5 0 0\n");
    }
    // Six LEDs at one point: the simulator's noise keeps their averages a
    // few hundredths of a millimetre apart, which is no body either.
    testsupport::ServerProcess onePoint({"--scene", SNAPWELL_SCENES "/one_point.scene"});
    const ProgramRun point = run("-s " + onePoint.address() + " -m 6 -o body.rb 6");
    EXPECT_NE(point.status, 0);
    EXPECT_EQ(point.err.rfind("error: all captured markers are at one point to within ", 0), 0u) << point.err;
    EXPECT_EQ(point.out.find("wrote to"), std::string::npos) << point.out;
    EXPECT_EQ(TempDir::Read(dir / "body.rb"), "0, 0 0 0\n1, 5 0 0\n");

    // An output file that cannot be opened: standard output instead, and a failure status.
    const ProgramRun noFolder = run(address() + "-m 6 -o missing/body.rb 6");
    EXPECT_NE(noFolder.status, 0);
    // The quality report follows on standard error, away from the body.
    EXPECT_EQ(noFolder.err.rfind(
                  "error: unable to open missing/body.rb: No such file or directory\ncapture quality", 0),
              0u)
        << noFolder.err;
    EXPECT_EQ(noFolder.out.find("wrote to"), std::string::npos);
    EXPECT_EQ(parseBody(noFolder.out.substr(noFolder.out.rfind('\r') + 1)).size(), 6u);

    // A read-only body file is refused the same way and keeps its content.
    fs::permissions(dir / "body.rb", fs::perms::owner_read | fs::perms::group_read);
    const ProgramRun readOnly = run(address() + "-m 6 -o body.rb 6");
    EXPECT_NE(readOnly.status, 0);
    EXPECT_EQ(readOnly.err.rfind("error: unable to open body.rb: Permission denied\n", 0), 0u)
        << readOnly.err;
    EXPECT_EQ(TempDir::Read(dir / "body.rb"), "0, 0 0 0\n1, 5 0 0\n");

    // A full disk: the capture fails and the old body stays whole, with no
    // temporary file beside it.
    fs::permissions(dir / "body.rb", fs::perms::owner_read | fs::perms::owner_write);
    const ProgramRun full = runOnFullDisk({"-s", server->address(), "-m", "6", "-o", "body.rb", "6"});
    EXPECT_NE(full.status, 0) << full.out;
    EXPECT_EQ(full.out.find("wrote to"), std::string::npos) << full.out;
    EXPECT_NE(full.out.find("error: unable to write body.rb: "), std::string::npos) << full.out;
    EXPECT_EQ(parseBody(full.out).size(), 6u);  // the capture is not lost: it goes to standard output
    EXPECT_EQ(TempDir::Read(dir / "body.rb"), "0, 0 0 0\n1, 5 0 0\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);  // body.rb, out, err

    // A device stays a device: the body goes through it.
    fs::create_symlink("/dev/null", dir / "null");
    const ProgramRun device = run(address() + "-m 6 -o null 6");
    EXPECT_EQ(device.status, 0) << device.err;
    EXPECT_TRUE(fs::is_symlink(dir / "null"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    // A FIFO without a reader is refused at once, and says why.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const ProgramRun fifo = run(address() + "-m 6 -o pipe 6");
    EXPECT_NE(fifo.status, 0);
    EXPECT_EQ(fifo.err.rfind("error: unable to open pipe: No such device or address\n", 0), 0u) << fifo.err;
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
}

TEST_F(SnapwellProgram, AServerThatBreaksTheProtocolMidCaptureIsAFailureThatSaysWhatBroke) {
    // Welcome, cameras and the replies to snapwell's six requests (streaming,
    // frequency, a tracker of one marker, on, threshold), then a frame too
    // short for its header.
    std::vector<std::string> answers(1);
    vekwire::encodeWelcome(answers[0], vekwire::Welcome{});
    vekwire::encodeCameras(answers[0], nullptr, 0);
    for (uint32_t seq = 1; seq <= 6; ++seq) vekwire::encodeReply(answers.emplace_back(), vekwire::Reply{seq});
    const testsupport::ScriptedPeer broken(answers, std::string("\x04\0\0\0\x05\0\0\0\0\0\0\0", 12));
    const ProgramRun r = run("-s " + broken.address() + " -m 1 1");
    EXPECT_TRUE(r.out.ends_with("\nerror: 103  \n")) << r.out;
    EXPECT_EQ(r.err, "error: vekd and this library do not speak the same protocol: truncated frame header\n");
    EXPECT_FALSE(fs::exists(dir / "body.rb"));
}

TEST_F(SnapwellProgram, AServerThatStopsIsKilledOrFallsSilentMidCaptureIsAFailure) {
    // 100 frames at 5 Hz would take 20 s; the server goes away long before.
    testsupport::ServerProcess stopping;
    startLongCapture(stopping);
    ASSERT_TRUE(stopping.waitForOutput("frequency 5 Hz", 5000));
    stopping.stop();
    EXPECT_EQ(waitForStatus(), "1\n");
    const std::string out = TempDir::Read(dir / "out");
    EXPECT_TRUE(out.ends_with("\nerror: 1  \n")) << out;
    EXPECT_FALSE(fs::exists(dir / "body.rb"));

    // Stopped once frames flow: the connection stays open, nothing comes.
    fs::remove(dir / "status");
    fs::remove(dir / "out");
    testsupport::ServerProcess silent;
    startLongCapture(silent);
    for (int i = 0; i < 200 && TempDir::Read(dir / "out").find("markers captured") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_EQ(::kill(silent.pid(), SIGSTOP), 0);
    const std::string status = waitForStatus();
    ::kill(silent.pid(), SIGCONT);
    EXPECT_EQ(status, "1\n");
    EXPECT_EQ(TempDir::Read(dir / "err"), "error: no frame from the server for 3 s\n");
    EXPECT_FALSE(fs::exists(dir / "body.rb"));

    // Killed outright, then started again on its port: that capture fails,
    // the next one is written.
    fs::remove(dir / "status");
    int port = 0;
    {
        testsupport::ServerProcess killed;
        port = killed.port();
        startLongCapture(killed);
        ASSERT_TRUE(killed.waitForOutput("frequency 5 Hz", 5000));
        killed.stop(SIGKILL);
        EXPECT_EQ(waitForStatus(), "1\n");
        EXPECT_FALSE(fs::exists(dir / "body.rb"));
    }
    testsupport::ServerProcess restarted({"--port", std::to_string(port)});
    ASSERT_TRUE(restarted.running());
    const ProgramRun again = run("-s " + restarted.address() + " -m 6 -o body.rb 6");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(parseBody(TempDir::Read(dir / "body.rb")).size(), 6u);
}
