// vektake export as a user runs it: a take recorded from vekd, and takes
// made here with what a recording can hold (markers not seen, placed by a
// rigid body, frames the recorder missed, tracker:index names, a long
// take), exported to C3D and CSV and read back: the C3D by a reader
// written from the format's description, the CSV as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>

#include "c3d_reader.h"
#include "scene.h"
#include "server_process.h"
#include "simulated_take.h"
#include "take_file.h"
#include "take_writer.h"
#include "tool_run.h"

using tooltest::Dir;
using tooltest::readFile;
using tooltest::RunResult;
using tooltest::writeFile;

namespace {

struct TakeFrame {
    int64_t number = 0, timeUs = 0;  // since the take's first frame
    int64_t localTimeUs = 0;         // on the recorder's clock
    std::vector<MarkerRecord> markers;
    std::vector<RigidRecord> rigids;
};

template <typename Record>
std::vector<Record> records(const vekwire::FrameView& f, int key) {
    const int s = vek_stream_index(key);
    std::vector<Record> out(f.count[s]);
    if (!out.empty()) std::memcpy(out.data(), f.records[s], out.size() * sizeof(Record));
    return out;
}

std::vector<TakeFrame> readTake(const std::string& path) {
    vektake::TakeFile file;
    std::string error;
    EXPECT_TRUE(file.open(path, error)) << error;
    std::vector<TakeFrame> frames;
    vektake::Item item;
    while (file.next(item) == 1) {
        if (item.kind != vektake::Kind::Frame) continue;
        TakeFrame f;
        f.number = item.frame.header.frame;
        f.timeUs = item.frame.header.generatedUs;
        f.localTimeUs = item.localTimeUs;
        f.markers = records<MarkerRecord>(item.frame, VEK_MARKERS);
        f.rigids = records<RigidRecord>(item.frame, VEK_RIGIDS);
        frames.push_back(std::move(f));
    }
    for (size_t i = frames.size(); i-- > 0;) {  // the first frame last
        frames[i].number -= frames[0].number - 1;
        frames[i].timeUs -= frames[0].timeUs;
    }
    return frames;
}

MarkerRecord marker(int tracker, int index, float x, float y, float z, float cond, uint32_t flags = 0) {
    MarkerRecord m{};
    m.id = vek_marker_id(tracker, index);
    m.x = x, m.y = y, m.z = z;
    m.cond = cond;
    m.flags = flags;
    return m;
}

// A take as vekrec writes it, of these frames (numbers in the server's
// counting, one tick of `hz` apart) with one camera.
std::string makeTake(uint32_t flags, float hz, const std::vector<TakeFrame>& frames) {
    vektake::Session session;
    session.flags = flags;
    session.frequency = hz;
    session.serverName = "test";
    session.server = "127.0.0.1";
    VEKCamera camera{};
    camera.id = 1;
    camera.pose[3] = 1;
    camera.cond = 1;
    camera.word = 60000;
    vektake::Writer writer(session, {camera});
    std::string bytes, why;
    for (TakeFrame f : frames) {
        for (MarkerRecord& m : f.markers) m.frame = static_cast<int32_t>(f.number);
        for (RigidRecord& r : f.rigids) r.frame = static_cast<int32_t>(f.number);
        std::string sections;
        vekwire::encodeSection(sections, f.markers.data(), f.markers.size(), sizeof(MarkerRecord));
        vekwire::encodeSection(sections, f.rigids.data(), f.rigids.size(), sizeof(RigidRecord));
        vekwire::FrameHeader h;
        h.frame = static_cast<int32_t>(f.number);
        h.generatedUs = 7000000 + std::llround((f.number - 1) * 1e6 / hz);
        h.frequency = hz;
        h.mask = VEK_MARKER_BIT | VEK_RIGID_BIT;
        std::string message;
        vekwire::encodeFrameHeader(message, h, sections.size());
        const std::string payload = message.substr(vekwire::kHeaderSize) + sections;
        const auto* data = reinterpret_cast<const uint8_t*>(payload.data());
        vekwire::FrameView view;
        EXPECT_TRUE(vekwire::decodeFrame(data, payload.size(), view, why) &&
                    writer.frame(data, payload.size(), view, vektake::kNoLocalTime, bytes, why))
            << why;
    }
    writer.end(bytes);
    return bytes;
}

c3dtest::File readC3d(const std::filesystem::path& path) {
    c3dtest::File file;
    std::string why;
    EXPECT_TRUE(file.read(readFile(path), why)) << why;
    return file;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (const char c : line) {
        if (c == ',')
            out.emplace_back();
        else
            out.back().push_back(c);
    }
    return out;
}

float parsed(const std::string& text) {
    float v = NAN;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

std::string timeText(int64_t us) {
    char text[40];
    std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(us / 1000000),
                  static_cast<long long>(us % 1000000));
    return text;
}

// The header and parameters every export has, for `frames` frames
// numbered from `first`.
void expectLayout(const c3dtest::File& c3d, size_t points, int64_t first, int64_t frames, float rate) {
    EXPECT_EQ(c3d.word(1), 0x5002) << "parameters in block 2, key 0x50";
    EXPECT_EQ(c3d.processor, 84) << "Intel";
    EXPECT_EQ(c3d.integers("POINT:USED"), std::vector<uint16_t>{static_cast<uint16_t>(points)});
    EXPECT_EQ(c3d.word(2), points);
    EXPECT_EQ(c3d.list("LABELS").size(), points);
    EXPECT_EQ(c3d.list("DESCRIPTIONS").size(), points);
    EXPECT_EQ(c3d.frames(), frames);
    EXPECT_EQ(c3d.dataBytes(), static_cast<size_t>(frames) * points * 16)
        << "frames of 16-byte points, nothing else";
    EXPECT_EQ(c3d.number("POINT:RATE"), rate);
    EXPECT_EQ(c3d.headerFloat(11), rate);
    EXPECT_LT(c3d.number("POINT:SCALE"), 0) << "floating-point data";
    EXPECT_EQ(c3d.headerFloat(7), c3d.number("POINT:SCALE"));
    EXPECT_EQ(c3d.word(9), c3d.integers("POINT:DATA_START").at(0));
    EXPECT_EQ(c3d.word(9), 2 + c3d.blocks);
    EXPECT_EQ(c3d.strings("POINT:UNITS"), std::vector<std::string>{"mm"});
    EXPECT_EQ(c3d.integers("ANALOG:USED"), std::vector<uint16_t>{0});
    EXPECT_EQ(c3d.word(3), 0) << "no analog measurements";
    const int64_t last = first + frames - 1;
    EXPECT_EQ(
        c3d.integers("TRIAL:ACTUAL_START_FIELD"),
        (std::vector<uint16_t>{static_cast<uint16_t>(first & 0xFFFF), static_cast<uint16_t>(first >> 16)}));
    EXPECT_EQ(
        c3d.integers("TRIAL:ACTUAL_END_FIELD"),
        (std::vector<uint16_t>{static_cast<uint16_t>(last & 0xFFFF), static_cast<uint16_t>(last >> 16)}));
    if (last <= 65535) {
        EXPECT_EQ(c3d.word(4), first);
        EXPECT_EQ(c3d.word(5), last);
    } else {
        EXPECT_EQ(c3d.word(4), 1);
        EXPECT_EQ(c3d.word(5), std::min<int64_t>(frames, 65535));
    }
}

// A point of the file against the marker record it came from.
void expectPoint(const std::array<float, 4>& p, const MarkerRecord* m, float scale,
                 const std::string& where) {
    if (!m || !(m->cond > 0)) {
        EXPECT_EQ(p, (std::array<float, 4>{0, 0, 0, -1})) << where << ": not seen";
        return;
    }
    EXPECT_EQ(p[0], m->x) << where;
    EXPECT_EQ(p[1], m->y) << where;
    EXPECT_EQ(p[2], m->z) << where;
    if (m->flags & VEK_MARKER_FILLED) {
        EXPECT_EQ(p[3], 0) << where << ": placed, not measured";
        return;
    }
    const int word = static_cast<int>(p[3]);
    EXPECT_TRUE(word >= 1 && word <= 255 && word == p[3]) << where << ": " << p[3];
    const float residual = (m->cond - 1) / 100, step = std::fabs(scale);
    EXPECT_LE(std::fabs(word * step - residual), word == 1 ? step : step / 2 + 1e-6f) << where;
}

const MarkerRecord* find(const TakeFrame& f, int id) {
    for (const MarkerRecord& m : f.markers)
        if (m.id == id) return &m;
    return nullptr;
}

}  // namespace

TEST(Export, ARecordedTakeComesBackWholeFromC3dAndCsv) {
    Dir dir;
    {
        testsupport::ServerProcess live({"--freq", "480"});
        const RunResult rec = dir.run(VEKREC_PATH, "-s " + live.address() + " -o take.vektake -t 1 -n 32");
        ASSERT_EQ(rec.status, 0) << rec.out << rec.err;
    }
    const std::vector<TakeFrame> take = readTake((dir.path / "take.vektake").string());
    ASSERT_GT(take.size(), 300u);
    std::vector<int> seen;
    for (const TakeFrame& f : take)
        for (const MarkerRecord& m : f.markers)
            if (m.cond > 0 && std::find(seen.begin(), seen.end(), m.id) == seen.end()) seen.push_back(m.id);
    std::sort(seen.begin(), seen.end());

    const RunResult info = dir.vektake("info take.vektake");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("markers:      " + std::to_string(seen.size()) + " seen of 32: LEDs "),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("named by LED (recorded as master"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("local times:  " + std::to_string(take.size()) + " of " +
                            std::to_string(take.size()) + " frames on the recorder's clock, from "),
              std::string::npos)
        << info.out;

    const RunResult exported = dir.vektake("export take.vektake -o take.c3d");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out.rfind("vektake: wrote take.c3d: " + std::to_string(seen.size()) + " points, ", 0),
              0u)
        << exported.out;
    const c3dtest::File c3d = readC3d(dir.path / "take.c3d");
    const int64_t frames = take.back().number;
    expectLayout(c3d, seen.size(), 1, frames, 480);
    EXPECT_EQ(c3d.strings("POINT:Y_SCREEN"), std::vector<std::string>{"+Y"}) << "vekd's room has y up";
    std::vector<std::string> labels;
    for (const int id : seen) labels.push_back("LED" + std::to_string(vek_marker_index(id)));
    EXPECT_EQ(c3d.list("LABELS"), labels);
    EXPECT_EQ(c3d.list("DESCRIPTIONS").at(0), "LED 0");
    const float scale = c3d.number("POINT:SCALE");
    const vekd::Scene scene = vekd::defaultScene();
    int floorSeen = 0;
    for (const TakeFrame& f : take) {
        for (size_t j = 0; j < seen.size(); ++j) {
            const std::array<float, 4> p = c3d.point(f.number - 1, static_cast<int>(j));
            expectPoint(p, find(f, seen[j]), scale, "frame " + std::to_string(f.number) + " " + labels[j]);
            float truth[3];
            const int led = vek_marker_index(seen[j]);
            if (led < 16 || p[3] < 0 || !vekd::ledPosition(scene, led, 0, truth)) continue;
            ++floorSeen;  // the floor LEDs stay where the scene put them
            EXPECT_LT(std::hypot(p[0] - truth[0], p[1] - truth[1], p[2] - truth[2]), 1.0) << labels[j];
        }
    }
    EXPECT_GT(floorSeen, frames * 8);

    const RunResult csv = dir.vektake("export take.vektake -o take.csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    const std::vector<std::string> text = lines(readFile(dir.path / "take.csv"));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], "frame,time_s,local_time_s,led,x_mm,y_mm,z_mm,cond");
    EXPECT_EQ(csv.err, "");
    size_t at = 1;
    for (const TakeFrame& f : take) {
        // On one machine the recorder's clock runs with the server's: the
        // capture times keep the generation times' spacing.
        EXPECT_NEAR(f.localTimeUs - take[0].localTimeUs, f.timeUs, 5) << "frame " << f.number;
        for (const MarkerRecord& m : f.markers) {
            ASSERT_LT(at, text.size());
            const std::vector<std::string> v = fields(text[at++]);
            ASSERT_EQ(v.size(), 8u) << text[at - 1];
            EXPECT_EQ(v[0], std::to_string(f.number));
            EXPECT_EQ(v[1], timeText(f.timeUs));
            EXPECT_EQ(v[2], timeText(f.localTimeUs));
            EXPECT_EQ(v[3], std::to_string(vek_marker_index(m.id)));
            if (m.cond > 0) {
                EXPECT_EQ(parsed(v[4]), m.x) << text[at - 1];
                EXPECT_EQ(parsed(v[5]), m.y);
                EXPECT_EQ(parsed(v[6]), m.z);
            } else {
                EXPECT_EQ(v[4] + v[5] + v[6], "") << "no position where not seen";
            }
            EXPECT_EQ(parsed(v[7]), m.cond);
        }
    }
    EXPECT_EQ(at, text.size());
    EXPECT_EQ(readFile(dir.path / "take_rigids.csv"), "frame,time_s,local_time_s,tracker,x,y,z,qw,qx,qy,qz\n")
        << "no rigid bodies: the header alone";

    // The same take as the older format wrote it: read as before, without
    // capture times on the recorder's clock, and said so.
    writeFile(dir.path / "old.vektake", testsupport::asVersionOne(readFile(dir.path / "take.vektake")));
    const RunResult oldInfo = dir.vektake("info old.vektake");
    EXPECT_NE(oldInfo.out.find("format:       take version 1, "), std::string::npos) << oldInfo.out;
    EXPECT_NE(oldInfo.out.find("local times:  none (take version 1 holds only the server's clock)\n"),
              std::string::npos)
        << oldInfo.out;
    const RunResult oldCsv = dir.vektake("export old.vektake -o old.csv");
    ASSERT_EQ(oldCsv.status, 0) << oldCsv.err;
    EXPECT_EQ(oldCsv.err, "note: local_time_s is empty in " + std::to_string(take.size()) + " of " +
                              std::to_string(take.size()) +
                              " frames: a take of version 1 holds only the server's clock\n");
    const std::vector<std::string> oldText = lines(readFile(dir.path / "old.csv"));
    ASSERT_EQ(oldText.size(), text.size());
    const std::vector<std::string> first = fields(oldText[1]), recorded = fields(text[1]);
    EXPECT_EQ(first[2], "");
    EXPECT_EQ(first[7], recorded[7]);
}

TEST(Export, GapsPlacedMarkersMissedFramesAndStretchesOfASlaveTake) {
    // Frames 4 and 5 missed; markers 1:0 always seen, 1:1 not seen in
    // frame 3 (its record still holds an old position) and placed by its
    // body in frame 6, 1:2 never seen, 2:0 seen in frame 2 only.
    std::vector<TakeFrame> frames;
    for (const int n : {1, 2, 3, 6, 7, 8, 9, 10}) {
        TakeFrame f;
        f.number = n;
        const float x = static_cast<float>(n);
        f.markers = {marker(1, 0, x, 2 * x, 3 * x + 0.5f, 51),
                     n == 3   ? marker(1, 1, 99, 99, 99, 0)
                     : n == 6 ? marker(1, 1, 10, 20, 30, 5, VEK_MARKER_FILLED)
                              : marker(1, 1, -x, -2 * x, -3 * x, 1.5f),
                     marker(1, 2, 0, 0, 0, -1),
                     n == 2 ? marker(2, 0, 6400, 0, 0, 4) : marker(2, 0, 1, 1, 1, 0)};
        RigidRecord r{};
        r.id = 1;
        r.pose[0] = n % 2 ? 5 : x;
        r.pose[3] = 1;
        r.cond = n % 2 ? 0 : 2;
        f.rigids = {r};
        frames.push_back(f);
    }
    Dir dir;
    tooltest::writeFile(dir.path / "slave.vektake", makeTake(0, 100, frames));
    const std::vector<TakeFrame> take = readTake((dir.path / "slave.vektake").string());
    const int a = vek_marker_id(1, 0), b = vek_marker_id(1, 1), d = vek_marker_id(2, 0);

    ASSERT_EQ(dir.vektake("export slave.vektake -o all.c3d").status, 0);
    c3dtest::File c3d = readC3d(dir.path / "all.c3d");
    expectLayout(c3d, 3, 1, 10, 100);
    EXPECT_EQ(c3d.strings("POINT:Y_SCREEN"), std::vector<std::string>{"+Z"}) << "a take of a z-up room";
    EXPECT_EQ(c3d.list("LABELS"), (std::vector<std::string>{"1:0", "1:1", "2:0"})) << "1:2 was never seen";
    EXPECT_EQ(c3d.list("DESCRIPTIONS").at(2), "tracker 2, marker 0");
    EXPECT_EQ(c3d.number("POINT:SCALE"), -0.2f) << "the largest coordinate over 32000";
    for (const int missed : {3, 4})
        for (int j = 0; j < 3; ++j)
            expectPoint(c3d.point(missed, j), nullptr, -0.2f, "a frame the recorder missed");
    for (const TakeFrame& f : take) {
        int j = 0;
        for (const int id : {a, b, d})
            expectPoint(c3d.point(f.number - 1, j++), find(f, id), -0.2f,
                        "frame " + std::to_string(f.number));
    }
    EXPECT_EQ(c3d.point(2, 1), (std::array<float, 4>{0, 0, 0, -1})) << "never the old position";
    EXPECT_EQ(c3d.point(5, 1), (std::array<float, 4>{10, 20, 30, 0})) << "placed: residual 0";

    // From 20 ms to before 75 ms: frames 3, 6, 7, 8 and the two missed.
    ASSERT_EQ(dir.vektake("export slave.vektake -o part.c3d --from 0.02 --to 0.075").status, 0);
    c3d = readC3d(dir.path / "part.c3d");
    expectLayout(c3d, 2, 3, 6, 100);
    EXPECT_EQ(c3d.list("LABELS"), (std::vector<std::string>{"1:0", "1:1"}))
        << "2:0 is not seen in the stretch";
    EXPECT_EQ(c3d.number("POINT:SCALE"), -0.01f);
    expectPoint(c3d.point(5, 0), find(take[5], a), -0.01f, "frame 8");

    ASSERT_EQ(dir.vektake("export slave.vektake -o one.c3d --leds 1:0,2:0-3").status, 0);
    EXPECT_EQ(readC3d(dir.path / "one.c3d").list("LABELS"), (std::vector<std::string>{"1:0", "2:0"}));
    RunResult refused = dir.vektake("export slave.vektake -o leds.c3d --leds 0-3");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(
        refused.err,
        "vektake: error: --leds 0-3: this take was recorded as a slave; its markers are named tracker:index "
        "(see vektake info); nothing written\n");
    refused = dir.vektake("export slave.vektake -o leds.csv --leds 3:0");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "vektake: warning: --leds 3:0: not seen in the take\n"
              "vektake: error: no marker of --leds 3:0 in the take; nothing written\n");

    ASSERT_EQ(dir.vektake("export slave.vektake -o all.csv").status, 0);
    const std::string csv = readFile(dir.path / "all.csv");
    EXPECT_EQ(lines(csv).size(), 1 + 8 * 4u);
    for (const char* line :
         {"1,0.000000,,1:0,1,2,3.5,51\n", "3,0.020000,,1:1,,,,0\n", "6,0.050000,,1:1,10,20,30,0\n",
          "10,0.090000,,1:2,,,,-1\n", "2,0.010000,,2:0,6400,0,0,4\n"})
        EXPECT_NE(csv.find(line), std::string::npos) << line;
    EXPECT_EQ(readFile(dir.path / "all_rigids.csv"),
              "frame,time_s,local_time_s,tracker,x,y,z,qw,qx,qy,qz\n"
              "1,0.000000,,1,,,,,,,\n2,0.010000,,1,2,0,0,1,0,0,0\n3,0.020000,,1,,,,,,,\n6,0.050000,,1,6,0,0,"
              "1,0,0,0\n"
              "7,0.060000,,1,,,,,,,\n8,0.070000,,1,8,0,0,1,0,0,0\n9,0.080000,,1,,,,,,,\n10,0.090000,,1,10,0,"
              "0,1,0,0,"
              "0\n");
    TakeFrame late = frames[1];
    late.number = 50;
    tooltest::writeFile(dir.path / "gaps.vektake", makeTake(0, 100, {frames[0], late}));
    EXPECT_EQ(dir.vektake("export gaps.vektake -o gaps.c3d").err,
              "vektake: error: the recorder missed 48 frames and kept 2; C3D needs a steady rate (export to "
              "CSV)\n");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"all.c3d", "all.csv", "all_rigids.csv", "gaps.vektake",
                                                     "one.c3d", "part.c3d", "slave.vektake"}));
}

TEST(Export, TakesOfMoreThan65535FramesCountThemAsTheFormatSays) {
    std::vector<TakeFrame> frames(70000);
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].number = static_cast<int64_t>(i) + 1;
        frames[i].markers = {marker(0, 0, static_cast<float>(i) / 8, 1, 2, 3)};
    }
    Dir dir;
    tooltest::writeFile(dir.path / "long.vektake", makeTake(vektake::kRecordedAsMaster, 960, frames));
    ASSERT_EQ(dir.vektake("export long.vektake -o long.c3d").status, 0);
    const c3dtest::File c3d = readC3d(dir.path / "long.c3d");
    expectLayout(c3d, 1, 1, 70000, 960);
    EXPECT_EQ(c3d.parameter("POINT:FRAMES").type, 4) << "a count past 65534 is a float";
    EXPECT_EQ(c3d.number("POINT:LONG_FRAMES"), 70000);
    EXPECT_EQ(c3d.list("LABELS"), std::vector<std::string>{"LED0"});
    EXPECT_EQ(c3d.point(69999, 0)[0], 69999.0f / 8);

    ASSERT_EQ(dir.vektake("export long.vektake -o long.csv --from 72.9").status, 0);
    const std::vector<std::string> text = lines(readFile(dir.path / "long.csv"));
    EXPECT_EQ(text.back(), "70000,72.915625,,0,8749.875,1,2,3");
    EXPECT_EQ(text.size(), 1 + 16u) << "frames from 72.9 s on";
}
