// Record and replay as a user runs them: vekrec against a live vekd, then
// vekd --replay of the take, watched by a raw client and by snapwell.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "lab_key.h"
#include "raw_client.h"
#include "recorder.h"
#include "scene.h"
#include "scripted_peer.h"
#include "server_process.h"
#include "take_file.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using testsupport::ProgramRun;
using testsupport::RawClient;
using testsupport::ServerProcess;
using testsupport::TempDir;
using namespace vekwire;

namespace {

// Sends requests as one batch and waits for their replies.
class Batch {
public:
    void add(Op op, int target, int key, int value, float x = 0, float y = 0, float z = 0) {
        Request r;
        r.seq = ++seq_;
        r.op = op;
        r.target = target;
        r.key = key;
        r.value = value;
        r.f[0] = x, r.f[1] = y, r.f[2] = z;
        encodeRequest(bytes_, r);
    }
    void point(int id, int firstLed, int lastLed) {
        add(Op::TrackerCreate, id, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = firstLed; led <= lastLed; ++led)
            add(Op::MarkerInt, vek_marker_id(id, led - firstLed), VEK_MARKER_LED, led);
        add(Op::TrackerOp, id, 0, VEK_ON);
    }
    // The wand, LEDs 0-5, with its body-frame positions.
    void wand(int id, const vekd::Scene& scene) {
        add(Op::TrackerCreate, id, VEK_CREATE, VEK_RIGID_TRACKER);
        for (int led = 0; led < 6; ++led) {
            const vekd::Vec3 p = scene.leds[vekd::findLed(scene, led)].position;
            add(Op::MarkerInt, vek_marker_id(id, led), VEK_MARKER_LED, led);
            add(Op::MarkerFloat, vek_marker_id(id, led), VEK_MARKER_POSITION, 0, float(p.x), float(p.y),
                float(p.z));
        }
        add(Op::TrackerOp, id, 0, VEK_ON);
    }
    bool send(RawClient& c) {
        c.write(bytes_);
        return c.replies(static_cast<int>(seq_));
    }

private:
    std::string bytes_;
    uint32_t seq_ = 0;
};

template <typename Record>
std::vector<Record> records(const FrameView& f, int key) {
    const int s = vek_stream_index(key);
    std::vector<Record> out(f.count[s]);
    if (!out.empty()) std::memcpy(out.data(), f.records[s], out.size() * sizeof(Record));
    return out;
}

template <typename Record>
std::string bytesAs(std::vector<Record> v, int32_t frame, size_t count) {
    v.resize(std::min(count, v.size()));
    for (Record& r : v) r.frame = frame;
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(Record));
}

// Every frame a replay serves, by frame number, until it says goodbye.
std::map<int, std::string> framesUntilBye(RawClient& c) {
    std::map<int, std::string> frames;
    Kind kind;
    std::string payload;
    while (c.read(kind, payload, 5000) && kind != Kind::Bye) {
        FrameView f;
        std::string error;
        if (kind == Kind::Frame &&
            decodeFrame(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), f, error))
            frames[f.header.frame] = payload;
    }
    return frames;
}

// Pairwise distances of a body file's markers ("index, x y z" lines).
std::vector<double> shape(const std::string& text) {
    std::vector<std::array<double, 3>> points;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        int index;
        double x, y, z;
        if (std::sscanf(line.c_str(), "%d, %lf %lf %lf", &index, &x, &y, &z) == 4)
            points.push_back({x, y, z});
    }
    std::vector<double> d;
    for (size_t i = 0; i < points.size(); ++i)
        for (size_t j = i + 1; j < points.size(); ++j)
            d.push_back(std::hypot(points[i][0] - points[j][0], points[i][1] - points[j][1],
                                   points[i][2] - points[j][2]));
    return d;
}

}  // namespace

TEST(RecordAndReplay, EveryFrameComesBackAndTrackersMadeOnTheReplayGetMarkers) {
    const vekd::Scene scene = vekd::defaultScene();
    TempDir dir;
    const std::string take = dir.File("session.vektake");
    {
        ServerProcess live({"--freq", "480"});
        RawClient master(live.port());
        ASSERT_EQ(master.hello(0, "test"), 0);
        Batch trackers;
        trackers.wand(1, scene);
        trackers.point(2, 8, 13);
        ASSERT_TRUE(trackers.send(master));
        const ProgramRun r = dir.Run(std::string(VEKREC_PATH) + " -s " + live.address() + " -o session -t 2");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("as a slave (a master is connected"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("vekrec: wrote session.vektake: "), std::string::npos) << r.out;
    }
    vektake::Summary summary;
    std::string error;
    ASSERT_TRUE(vektake::scanTake(take, summary, error)) << error;
    ASSERT_GT(summary.frames, 700u);
    EXPECT_EQ(summary.cutShort, "");
    EXPECT_EQ(summary.cameras.size(), 8u);
    EXPECT_EQ(summary.session.flags, vektake::kWorldYUp | vektake::kPeaksCarryLeds);

    // The replay waits (0 Hz) until its master has made its trackers: the
    // recording's two and a point tracker on the floor LEDs 16-31.
    ServerProcess replay({"--replay", take, "--freq", "0"});
    EXPECT_NE(replay.output().find("serving \"replay session.vektake\""), std::string::npos)
        << replay.output();
    RawClient c(replay.port());
    ASSERT_EQ(c.hello(0, "test"), 0);
    Batch setup;
    setup.wand(1, scene);
    setup.point(2, 8, 13);
    setup.point(3, 16, 31);
    for (const int key : {VEK_IMAGES, VEK_DETECTORS}) setup.add(Op::SetInteger, 0, key, VEK_ON);
    setup.add(Op::SetInteger, 0, VEK_STREAMING, VEK_ON);
    setup.add(Op::SetFloat, 0, VEK_FREQUENCY, 0, 480);
    ASSERT_TRUE(setup.send(c));
    const std::map<int, std::string> served = framesUntilBye(c);
    EXPECT_TRUE(
        replay.waitForOutput("vekd: end of take: " + std::to_string(summary.frames) + " frames served"))
        << replay.output();
    EXPECT_EQ(replay.stop(), 0);

    // Served frame k is the take's frame k: the same records in order, the
    // peaks now named by the replay's trackers.
    vektake::TakeFile file;
    ASSERT_TRUE(file.open(take, error)) << error;
    vektake::Item item;
    int k = 0, compared = 0, floorSeen = 0;
    while (file.next(item) == 1) {
        if (item.kind != vektake::Kind::Frame || !served.count(++k)) continue;
        const std::string& payload = served.at(k);
        FrameView got;
        ASSERT_TRUE(
            decodeFrame(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), got, error));
        const FrameView& want = item.frame;
        EXPECT_EQ(bytesAs(records<MarkerRecord>(got, VEK_MARKERS), k, 12),
                  bytesAs(records<MarkerRecord>(want, VEK_MARKERS), k, 12))
            << "frame " << k;
        EXPECT_EQ(bytesAs(records<RigidRecord>(got, VEK_RIGIDS), k, 1),
                  bytesAs(records<RigidRecord>(want, VEK_RIGIDS), k, 1));
        EXPECT_EQ(bytesAs(records<DetectorRecord>(got, VEK_DETECTORS), k, 16),
                  bytesAs(records<DetectorRecord>(want, VEK_DETECTORS), k, 16));
        std::vector<ImageRecord> peaks = records<ImageRecord>(want, VEK_IMAGES);
        for (ImageRecord& p : peaks) {
            const int led = p.id;
            p.id = led <= 5                 ? vek_marker_id(1, led)
                   : led >= 8 && led <= 13  ? vek_marker_id(2, led - 8)
                   : led >= 16 && led <= 31 ? vek_marker_id(3, led - 16)
                                            : -1;
        }
        EXPECT_EQ(bytesAs(records<ImageRecord>(got, VEK_IMAGES), k, VEK_MAX_IMAGES),
                  bytesAs(peaks, k, VEK_MAX_IMAGES))
            << "frame " << k;
        const std::vector<MarkerRecord> markers = records<MarkerRecord>(got, VEK_MARKERS);
        ASSERT_EQ(markers.size(), 28u);
        for (int i = 12; i < 28; ++i) {
            float truth[3];
            ASSERT_TRUE(vekd::ledPosition(scene, 16 + i - 12, 0, truth));
            const MarkerRecord& m = markers[i];
            if (m.cond <= 0) continue;
            ++floorSeen;
            EXPECT_LT(std::hypot(m.x - truth[0], m.y - truth[1], m.z - truth[2]), 1.0)
                << "LED " << 16 + i - 12;
        }
        ++compared;
    }
    EXPECT_EQ(k, static_cast<int>(summary.frames));
    EXPECT_GT(compared, k * 9 / 10) << "frames the replay served to a client that keeps up";
    EXPECT_GT(floorSeen, compared * 8) << "the floor LEDs, tracked only on the replay";
}

TEST(RecordAndReplay, SnapwellCapturesTheSameShapeFromTheReplayAsFromTheLiveServer) {
    TempDir dir;
    std::string liveBody;
    {
        ServerProcess live({"--freq", "480"});
        const ProgramRun rec =
            dir.Run(std::string(VEKREC_PATH) + " -s " + live.address() + " -o wand.vektake -t 1 -n 6");
        ASSERT_EQ(rec.status, 0) << rec.out << rec.err;
        EXPECT_NE(rec.out.find("as master (no master was connected), with a point tracker on LEDs 0-5"),
                  std::string::npos)
            << rec.out;
        const ProgramRun snap =
            dir.Run(std::string(SNAPWELL_PATH) + " -s " + live.address() + " -m 6 -o live.rb 6");
        ASSERT_EQ(snap.status, 0) << snap.out << snap.err;
        liveBody = TempDir::Read(dir.File("live.rb"));
    }
    ServerProcess replay({"--replay", dir.File("wand.vektake"), "--freq", "0"});
    const ProgramRun snap =
        dir.Run(std::string(SNAPWELL_PATH) + " -s " + replay.address() + " -m 6 -o replay.rb 6");
    ASSERT_EQ(snap.status, 0) << snap.out << snap.err;
    const std::vector<double> a = shape(liveBody), b = shape(TempDir::Read(dir.File("replay.rb")));
    ASSERT_EQ(a.size(), 15u) << liveBody;
    ASSERT_EQ(b.size(), 15u);
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 0.1) << "distance " << i;
}

TEST(RecordAndReplay, AServerThatStallsIsToldOnTheProgressLineAndInTheLastLine) {
    TempDir dir;
    ServerProcess live({"--freq", "200"});
    vekrec::Options options;
    options.server = live.address();
    options.output = dir.File("stalled");
    options.seconds = 3;
    std::ostringstream out, err;
    int status = -1;
    std::thread recorder([&] { status = vekrec::record(options, out, err, true); });
    ASSERT_TRUE(live.waitForOutput("client 1 connected"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(live.suspend());
    const auto stopped = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    live.resume();
    recorder.join();
    EXPECT_EQ(status, 0) << err.str();

    const std::string text = out.str();
    const size_t progress = text.rfind('\r'), last = text.find("vekrec: wrote ");
    ASSERT_NE(progress, std::string::npos) << text;
    ASSERT_NE(last, std::string::npos) << text;
    double shown = 0, told = 0;
    int dropped = -1, notMade = -1;
    const char* warning = std::strstr(text.c_str() + progress, "warning: ");
    ASSERT_NE(warning, nullptr) << text;
    EXPECT_EQ(std::sscanf(warning, "warning: %lf s without frames", &shown), 1) << text;
    const char* counts = std::strstr(text.c_str() + last, " MB, ");
    ASSERT_NE(counts, nullptr) << text;
    ASSERT_EQ(std::sscanf(counts,
                          " MB, %d frames dropped, %d not made by the server; warning: %lf s without frames",
                          &dropped, &notMade, &told),
              3)
        << text;
    EXPECT_EQ(dropped, 0);
    EXPECT_GE(notMade, static_cast<int>(seconds * 200) - 2);
    EXPECT_GE(told, seconds - 0.1);
    EXPECT_EQ(shown, told);
}

TEST(RecordAndReplay, StoppedRecordersLeaveTakesThatReplayAndBrokenTakesAreRefused) {
    TempDir dir;
    ServerProcess live({"--freq", "480"});
    // Ctrl+C ends a take cleanly; SIGKILL leaves the temporary file, which
    // replays up to its last whole frame.
    for (const int signal : {SIGINT, SIGKILL}) {
        const std::string name = signal == SIGINT ? "stopped" : "killed";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (freopen(dir.File(name + ".out").c_str(), "w", stdout) == nullptr) _exit(127);
            execl(VEKREC_PATH, "vekrec", "-s", live.address().c_str(), "-o", dir.File(name).c_str(), nullptr);
            _exit(127);
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        auto temp = [&] {
            for (const auto& e : fs::directory_iterator(dir.path()))
                if (e.path().filename().string().rfind(name + ".vektake.tmp", 0) == 0) return e.path();
            return fs::path();
        };
        while (std::chrono::steady_clock::now() < end && (temp().empty() || fs::file_size(temp()) < 2000000))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const fs::path partial = temp();
        ASSERT_FALSE(partial.empty());
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        vektake::Summary summary;
        std::string error;
        if (signal == SIGINT) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << TempDir::Read(dir.File("stopped.out"));
            ASSERT_TRUE(vektake::scanTake(dir.File("stopped.vektake"), summary, error)) << error;
            EXPECT_EQ(summary.cutShort, "");
            EXPECT_FALSE(fs::exists(partial));
            continue;
        }
        EXPECT_FALSE(fs::exists(dir.File("killed.vektake")));
        ASSERT_TRUE(vektake::scanTake(partial.string(), summary, error)) << error;
        ASSERT_GT(summary.frames, 100u);
        ServerProcess replay({"--replay", partial.string(), "--freq", "960"});
        EXPECT_NE(replay.output().find("vekd: warning: " + partial.string() + ": byte "), std::string::npos)
            << replay.output();
        RawClient c(replay.port());
        ASSERT_EQ(c.hello(VEK_SLAVE, "test"), 0);
        ASSERT_EQ(c.request(Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);
        const std::map<int, std::string> served = framesUntilBye(c);
        ASSERT_FALSE(served.empty());
        EXPECT_EQ(served.rbegin()->first, static_cast<int>(summary.frames)) << "the last whole frame";

        // A damaged copy is refused, saying where; so are foreign files.
        std::string bytes = TempDir::Read(partial);
        bytes[bytes.size() / 2] ^= 0x40;
        std::ofstream(dir.File("damaged.vektake"), std::ios::binary) << bytes;
        const ProgramRun damaged =
            dir.Run(ServerProcess::programPath() + " --port 0 --replay damaged.vektake");
        EXPECT_EQ(damaged.status, 1);
        EXPECT_EQ(damaged.err.rfind("vekd: cannot replay damaged.vektake: byte ", 0), 0u) << damaged.err;
        EXPECT_NE(damaged.err.find("): checksum mismatch (damaged take)\n"), std::string::npos)
            << damaged.err;
        const ProgramRun foreign = dir.Run(ServerProcess::programPath() + " --port 0 --replay killed.out");
        EXPECT_EQ(foreign.status, 1);
        EXPECT_EQ(foreign.err, "vekd: cannot replay killed.out: byte 0: not a take file\n");
    }
    // No server: nothing is written, not even a temporary file.
    const std::string nowhere = "127.0.0.1:" + std::to_string(testsupport::unusedPort());
    const ProgramRun refused = dir.Run(std::string(VEKREC_PATH) + " -s " + nowhere + " -o none");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "vekrec: cannot connect to " + nowhere + ": connection refused (is vekd running there?)\n");
    // A peer that does not speak the protocol: what broke, in the library's words.
    const testsupport::ScriptedPeer broken({"HTTP/1.0 400 Bad Request\r\n\r\n"});
    const ProgramRun garbled = dir.Run(std::string(VEKREC_PATH) + " -s " + broken.address() + " -o none");
    EXPECT_EQ(garbled.status, 1);
    EXPECT_EQ(garbled.err,
              "vekrec: cannot connect to " + broken.address() +
                  ": vekd and this library do not speak the same protocol: unknown message kind 12591\n");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string().rfind("none", 0), 0u);
    EXPECT_EQ(dir.Run(std::string(VEKREC_PATH) + " -o x -t 0").status, 2);

    // A server with a lab key records only for its key.
    const std::string key = dir.File("lab.key");
    std::string why;
    ASSERT_TRUE(vekwire::LabKey::generate().write(key, why)) << why;
    {
        ServerProcess keyed({"--bind", "127.0.0.2", "--key-file", key});
        const ProgramRun unkeyed =
            dir.Run(std::string(VEKREC_PATH) + " -s " + keyed.address() + " -o keyed -t 0.2");
        EXPECT_EQ(unkeyed.status, 1);
        EXPECT_EQ(unkeyed.err, "vekrec: cannot connect to " + keyed.address() +
                                   ": not authorised: wrong or missing key\n");
        EXPECT_EQ(
            dir.Run(std::string(VEKREC_PATH) + " -key " + key + " -s " + keyed.address() + " -o keyed -t 0.2")
                .status,
            0);
        ::chmod(key.c_str(), 0640);
        const ProgramRun loose =
            dir.Run(std::string(VEKREC_PATH) + " -key " + key + " -s " + keyed.address() + " -o loose");
        EXPECT_EQ(loose.status, 1);
        EXPECT_EQ(loose.err.rfind("vekrec: lab key file " + key + ": permissions 0640", 0), 0u) << loose.err;
    }

    // A FIFO is refused at once by both, never waited on.
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
    const ProgramRun toFifo =
        dir.Run(std::string("timeout 10 ") + VEKREC_PATH + " -s " + nowhere + " -o pipe");
    EXPECT_EQ(toFifo.status, 1);
    EXPECT_EQ(toFifo.err,
              "vekrec: cannot write pipe: not a regular file (a take is written beside its file and renamed "
              "over it)\n");
    EXPECT_TRUE(fs::is_fifo(dir.File("pipe")));
    const ProgramRun fromFifo =
        dir.Run("timeout 10 " + ServerProcess::programPath() + " --port 0 --replay pipe");
    EXPECT_EQ(fromFifo.status, 1);
    EXPECT_EQ(fromFifo.err, "vekd: cannot replay pipe: a FIFO, not a regular file\n");
}
