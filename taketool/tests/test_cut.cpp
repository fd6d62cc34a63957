// vektake cut, replayed through vekd --replay, and what vektake refuses:
// broken and foreign takes, writing over the take, bad command lines.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "raw_client.h"
#include "scene.h"
#include "server_process.h"
#include "simulated_take.h"
#include "take_file.h"
#include "tool_run.h"

using tooltest::Dir;
using tooltest::readFile;
using tooltest::RunResult;
using tooltest::writeFile;

namespace {

// 480 frames at 480 Hz of the default scene, markers of a point tracker on
// LEDs 0-7 as recorded (peaks not named by LED: a replay serves the
// recorded markers).
std::string simulatedTake() {
    vekd::TrackerTable trackers;
    trackers.create(1, VEK_CREATE, VEK_POINT_TRACKER);
    for (int led = 0; led < 8; ++led) trackers.setMarkerLed(vek_marker_id(1, led), VEK_MARKER_LED, led);
    trackers.operate(1, VEK_ON);
    return testsupport::simulatedTake(vekd::defaultScene(), 7, trackers, 480, 480, false);
}

struct Frames {
    std::vector<std::string> payloads;
    std::vector<int64_t> times;
    std::vector<int64_t> localTimes;  // on the recorder's clock
    vektake::Session session;
    std::vector<vektake::Camera> cameras;
};

Frames framesOf(const std::string& path) {
    vektake::TakeFile file;
    std::string error;
    EXPECT_TRUE(file.open(path, error)) << error;
    Frames out;
    vektake::Item item;
    while (file.next(item) == 1) {
        if (item.kind != vektake::Kind::Frame) continue;
        out.payloads.emplace_back(reinterpret_cast<const char*>(item.payload), item.size);
        out.times.push_back(item.frame.header.generatedUs);
        out.localTimes.push_back(item.localTimeUs);
    }
    out.session = file.reader().session();
    out.cameras = file.reader().cameras();
    return out;
}

// The marker section of every frame a replay serves, by frame number.
std::map<int, std::string> servedMarkers(testsupport::RawClient& c) {
    std::map<int, std::string> frames;
    vekwire::Kind kind;
    std::string payload, error;
    while (c.read(kind, payload, 5000) && kind != vekwire::Kind::Bye) {
        vekwire::FrameView f;
        if (kind != vekwire::Kind::Frame ||
            !vekwire::decodeFrame(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), f, error))
            continue;
        std::string markers(reinterpret_cast<const char*>(f.records[VEK_MARKER_STREAM]),
                            f.count[VEK_MARKER_STREAM] * sizeof(MarkerRecord));
        for (size_t at = 4; at < markers.size(); at += sizeof(MarkerRecord)) std::memset(&markers[at], 0, 4);
        frames[f.header.frame] = markers;
    }
    return frames;
}

std::string markersOf(const std::string& payload) {
    vekwire::FrameView f;
    std::string error;
    EXPECT_TRUE(
        vekwire::decodeFrame(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), f, error));
    std::string markers(reinterpret_cast<const char*>(f.records[VEK_MARKER_STREAM]),
                        f.count[VEK_MARKER_STREAM] * sizeof(MarkerRecord));
    for (size_t at = 4; at < markers.size(); at += sizeof(MarkerRecord)) std::memset(&markers[at], 0, 4);
    return markers;
}

}  // namespace

TEST(Cut, ACutHoldsExactlyTheFramesAskedForAndReplays) {
    Dir dir;
    writeFile(dir.path / "take.vektake", simulatedTake());
    const RunResult r = dir.vektake("cut take.vektake -o cut.vektake --from 0.25 --to 0.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("vektake: wrote cut.vektake: 120 frames (121 to 240 of the take), ", 0), 0u)
        << r.out;

    // Frames 121-240: those from 0.25 s after the first frame to before 0.5 s.
    const Frames take = framesOf((dir.path / "take.vektake").string());
    const Frames cut = framesOf((dir.path / "cut.vektake").string());
    ASSERT_EQ(take.payloads.size(), 480u);
    EXPECT_GE(take.times[120] - take.times[0], 250000);
    EXPECT_LT(take.times[119] - take.times[0], 250000);
    EXPECT_LT(take.times[239] - take.times[0], 500000);
    EXPECT_GE(take.times[240] - take.times[0], 500000);
    EXPECT_EQ(cut.payloads,
              std::vector<std::string>(take.payloads.begin() + 120, take.payloads.begin() + 240))
        << "the frame records byte for byte";
    EXPECT_EQ(cut.localTimes,
              std::vector<int64_t>(take.localTimes.begin() + 120, take.localTimes.begin() + 240));
    EXPECT_NEAR(take.localTimes[1] - take.localTimes[0], take.times[1] - take.times[0], 1);
    EXPECT_EQ(cut.session.flags, take.session.flags);
    ASSERT_EQ(cut.cameras.size(), take.cameras.size());
    for (size_t i = 0; i < cut.cameras.size(); ++i)
        EXPECT_EQ(std::memcmp(&cut.cameras[i], &take.cameras[i], sizeof cut.cameras[i]), 0) << "camera " << i;
    vektake::Summary summary;
    std::string error;
    ASSERT_TRUE(vektake::scanTake((dir.path / "cut.vektake").string(), summary, error)) << error;
    EXPECT_EQ(summary.cutShort, "");
    EXPECT_EQ(summary.end.frames, 120u);
    EXPECT_EQ(summary.end.durationUs, take.times[239] - take.times[120]);

    // vekd serves the cut's frames, every one of them, and stops.
    testsupport::ServerProcess replay({"--replay", (dir.path / "cut.vektake").string(), "--freq", "0"});
    testsupport::RawClient c(replay.port());
    ASSERT_EQ(c.hello(0, "test"), 0);
    ASSERT_EQ(c.request(vekwire::Op::SetInteger, 0, VEK_STREAMING, VEK_ON), 0);
    ASSERT_EQ(c.request(vekwire::Op::SetFloat, 0, VEK_FREQUENCY, 0, 240), 0);
    const std::map<int, std::string> served = servedMarkers(c);
    EXPECT_TRUE(replay.waitForOutput("vekd: end of take: 120 frames served")) << replay.output();
    ASSERT_FALSE(served.empty());
    EXPECT_EQ(served.rbegin()->first, 120);
    EXPECT_GT(served.size(), 100u);
    for (const auto& [number, markers] : served)
        EXPECT_EQ(markers, markersOf(cut.payloads.at(number - 1))) << "frame " << number;
}

TEST(Cut, BrokenTakesWritingOverTheTakeAndBadCommandLinesAreRefusedClearly) {
    Dir dir;
    const std::string bytes = simulatedTake();
    writeFile(dir.path / "take.vektake", bytes);
    std::string damaged = bytes;
    damaged[damaged.size() / 2] ^= 0x40;
    writeFile(dir.path / "damaged.vektake", damaged);
    writeFile(dir.path / "short.vektake", bytes.substr(0, bytes.size() * 3 / 5));
    writeFile(dir.path / "foreign.txt", "frame,time_s\n1,0\n");
    for (const std::string args : {"info damaged.vektake", "cut damaged.vektake -o d.vektake",
                                   "export damaged.vektake -o d.c3d", "export damaged.vektake -o d.csv"}) {
        const RunResult r = dir.vektake(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err.rfind("vektake: error: damaged.vektake: byte ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("): checksum mismatch (damaged take)\n"), std::string::npos) << r.err;
    }
    EXPECT_EQ(dir.vektake("export foreign.txt -o f.csv").err,
              "vektake: error: foreign.txt: byte 0: not a take file\n");
    EXPECT_EQ(dir.vektake("info missing.vektake").err,
              "vektake: error: missing.vektake: No such file or directory\n");

    // A take cut short: info says where; a cut of it is a whole take.
    const RunResult info = dir.vektake("info short.vektake");
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("\nend:          byte "), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("cut short, no end record; "), std::string::npos) << info.out;
    const RunResult cutShort = dir.vektake("cut short.vektake -o whole.vektake");
    EXPECT_EQ(cutShort.status, 0) << cutShort.err;
    EXPECT_EQ(cutShort.err.rfind("vektake: warning: short.vektake: byte ", 0), 0u) << cutShort.err;
    vektake::Summary summary;
    std::string error;
    ASSERT_TRUE(vektake::scanTake((dir.path / "whole.vektake").string(), summary, error)) << error;
    EXPECT_EQ(summary.cutShort, "");
    EXPECT_GT(summary.frames, 200u);

    // Never over the take, whatever the name; nothing where nothing fits.
    std::filesystem::create_hard_link(dir.path / "take.vektake", dir.path / "linked.c3d");
    std::filesystem::create_symlink("take.vektake", dir.path / "symbolic.vektake");
    for (const std::string args :
         {"cut take.vektake -o ./take.vektake", "cut take.vektake -o symbolic.vektake",
          "export take.vektake -o linked.c3d"}) {
        const RunResult r = dir.vektake(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find(": it is the take being read\n"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(dir.path / "take.vektake"), bytes);
    EXPECT_EQ(dir.vektake("cut take.vektake -o none.vektake --from 100").err,
              "vektake: error: no frame of take.vektake lies in that stretch; nothing written\n");
    EXPECT_EQ(dir.vektake("export take.vektake -o nowhere/x.csv").err,
              "vektake: error: cannot write nowhere/x.csv: No such file or directory\n");
    EXPECT_EQ(dir.files(),
              (std::vector<std::string>{"damaged.vektake", "foreign.txt", "linked.c3d", "short.vektake",
                                        "symbolic.vektake", "take.vektake", "whole.vektake"}))
        << "no file, temporary or not, from a refusal";

    const std::map<std::string, std::string> usage = {
        {"", "a command is needed: info, cut or export"},
        {"play take.vektake", "unknown command: play (info, cut or export)"},
        {"info", "a take file is needed"},
        {"info take.vektake other.vektake", "one take file only: other.vektake"},
        {"info take.vektake -o x.csv", "info takes the take file only"},
        {"cut take.vektake", "-o FILE is needed"},
        {"cut take.vektake -o c.vektake --leds 1",
         "--leds is for export only (a cut keeps every stream whole)"},
        {"cut take.vektake -o c.vektake --from 2 --to 1", "--to must come after --from"},
        {"cut take.vektake -o c.vektake --from -1", "--from needs a number of seconds from 0: -1"},
        {"cut take.vektake -o c.vektake --to 1,5", "--to needs a number of seconds from 0: 1,5"},
        {"export take.vektake -o x.txt", "export writes FILE.c3d or FILE.csv: x.txt"},
        {"export take.vektake -o x.csv --leds 5-2",
         "--leds needs LED numbers and ranges (0-5,8) or tracker:index items (1:0-5,2:3): 5-2"},
        {"export take.vektake -o", "unknown option or missing value: -o"},
        {"export take.vektake -o x.csv -t 1", "unknown option or missing value: -t"}};
    for (const auto& [args, message] : usage) {
        const RunResult r = dir.vektake(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "vektake: error: " + message + "\n") << args;
        EXPECT_NE(r.err.find("usage: vektake info FILE\n"), std::string::npos) << args;
        EXPECT_EQ(r.out, "");
    }
    const RunResult help = dir.vektake("export -h");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: vektake info FILE\n", 0), 0u);
}
