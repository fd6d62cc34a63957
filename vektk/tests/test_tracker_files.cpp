// Tracker files: reading ".pt" / ".rb" lines, writing them back, saving
// through a temporary file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "atomic_file.h"
#include "temp_dir.h"
#include "tracker.h"
#include "tracker_file.h"
#include "tracker_line.h"

using testsupport::TempDir;

using vektk::kPointTracker;
using vektk::kRigidTracker;
using vektk::MarkerDef;
using vektk::Tracker;
using Kind = vektk::TrackerLine::Kind;

namespace {

vektk::TrackerLine Parse(const std::string& text) {
    return vektk::ParseTrackerLine(text.data(), text.size());
}

struct Loaded {
    int count;
    Tracker tracker;
    std::string errors;
};

Loaded LoadText(const TempDir& dir, int type, const std::string& content) {
    const std::string path = dir.Write("t.rb", content);
    Tracker t(type, 1, 0);
    testing::internal::CaptureStderr();
    const int count = t.Load(type, path);
    return {count, t, testing::internal::GetCapturedStderr()};
}

std::vector<int> Leds(const Tracker& t) {
    std::vector<int> out;
    for (const MarkerDef& m : t.markers) out.push_back(m.led);
    return out;
}

}  // namespace

TEST(TrackerLine, MatchesScanfFieldCounts) {
    EXPECT_EQ(Parse("# 3, 1 2 3").kind, Kind::Comment);
    EXPECT_EQ(Parse("3").kind, Kind::Led);
    EXPECT_EQ(Parse("  +3").led, 3);
    EXPECT_EQ(Parse("3 , 1 2 3").kind, Kind::Led);  // ',' must follow the number
    EXPECT_EQ(Parse("12abc").kind, Kind::Led);
    EXPECT_EQ(Parse("3, abc").kind, Kind::Led);

    const auto full = Parse("-7,1.5\t-2e1   .25\r");
    EXPECT_EQ(full.kind, Kind::LedPosition);
    EXPECT_EQ(full.led, -7);
    EXPECT_FLOAT_EQ(full.pos[0], 1.5f);
    EXPECT_FLOAT_EQ(full.pos[1], -20.0f);
    EXPECT_FLOAT_EQ(full.pos[2], 0.25f);

    EXPECT_EQ(Parse("0, 1 2").kind, Kind::Invalid);
    EXPECT_EQ(Parse("0, 1").kind, Kind::Invalid);
    EXPECT_EQ(Parse("0,").kind, Kind::Led);  // scanf stops after one field
    EXPECT_EQ(Parse("").kind, Kind::Invalid);
    EXPECT_EQ(Parse(" \t").kind, Kind::Invalid);
}

TEST(TrackerLine, ScaleAndOtherLines) {
    const auto scale = Parse("s, 2.5");
    EXPECT_EQ(scale.kind, Kind::Scale);
    EXPECT_FLOAT_EQ(scale.scale, 2.5f);
    EXPECT_EQ(Parse("s,0.001").kind, Kind::Scale);
    EXPECT_EQ(Parse(" s, 2").kind, Kind::Ignored);
    EXPECT_EQ(Parse("name: wand").kind, Kind::Ignored);
}

TEST(TrackerLine, OutOfRangeNumbersAreInvalid) {
    EXPECT_EQ(Parse("99999999999").kind, Kind::Invalid);
    EXPECT_EQ(Parse("1, 1e99 0 0").kind, Kind::Invalid);
    EXPECT_EQ(Parse("1, nan 0 0").kind, Kind::Invalid);
    EXPECT_EQ(Parse("s, 1e99").kind, Kind::Invalid);
}

TEST(TrackerLine, ReadsOnlyTheGivenLength) {
    const char text[] = "12, 1 2 3";
    EXPECT_EQ(vektk::ParseTrackerLine(text, 1).led, 1);
    EXPECT_EQ(vektk::ParseTrackerLine(text, 4).kind, Kind::Led);
}

TEST(TrackerLoad, CommentsOnlyGiveNoMarkers) {
    TempDir dir;
    const Loaded r = LoadText(dir, kRigidTracker, "# wand\n#\n");
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(r.tracker.markers.empty());
    EXPECT_EQ(r.errors, "");
}

TEST(TrackerLoad, MarkerIndexesCountMarkerLines) {
    TempDir dir;
    const Loaded r = LoadText(dir, kRigidTracker, "# c\n3\n3, 1.0 2.0 3.0\n");
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.tracker.markers[0].index, 0);
    EXPECT_EQ(r.tracker.markers[1].index, 1);
    EXPECT_EQ(Leds(r.tracker), (std::vector<int>{3, 3}));
    EXPECT_TRUE(r.tracker.markers[0].pos.empty());
    EXPECT_EQ(r.tracker.markers[1].pos, (std::vector<float>{1, 2, 3}));
}

TEST(TrackerLoad, ScaleAppliesToRigidPositionsOnly) {
    TempDir dir;
    const std::string text = "s, 2.0\n0, 1 1 1\n";
    const Loaded rigid = LoadText(dir, kRigidTracker, text);
    ASSERT_EQ(rigid.count, 1);
    EXPECT_EQ(rigid.tracker.markers[0].pos, (std::vector<float>{2, 2, 2}));

    const Loaded point = LoadText(dir, kPointTracker, text);
    ASSERT_EQ(point.count, 1);
    EXPECT_EQ(point.tracker.markers[0].led, 0);
    EXPECT_TRUE(point.tracker.markers[0].pos.empty());
}

TEST(TrackerLoad, InvalidLinesStopWithTheirIndex) {
    TempDir dir;
    // The whole file fails: nothing read before the bad line is kept, and
    // the message names the file's line, comments and blank lines counted.
    const Loaded three = LoadText(dir, kRigidTracker, "4\n0, 1 2\n5\n");
    EXPECT_EQ(three.count, 0);
    EXPECT_TRUE(three.tracker.markers.empty());
    EXPECT_EQ(three.errors, dir.File("t.rb") + ":2: invalid string: 0, 1 2\n");

    const Loaded blank = LoadText(dir, kRigidTracker, "4\n\n5\n");
    EXPECT_EQ(blank.count, 0);
    EXPECT_EQ(blank.errors, dir.File("t.rb") + ":2: invalid string: \n");

    // What the server would refuse, or what would run into the next
    // tracker's marker ids, fails at load.
    const Loaded negative = LoadText(dir, kPointTracker, "4\n-1\n");
    EXPECT_EQ(negative.count, 0);
    EXPECT_EQ(negative.errors, dir.File("t.rb") + ":2: invalid LED: -1\n");
    const Loaded commented = LoadText(dir, kRigidTracker, "# wand\n#\n# mm\n0, 0 0 0\n-1, 1 0 0\n");
    EXPECT_TRUE(commented.tracker.markers.empty());
    EXPECT_EQ(commented.errors, dir.File("t.rb") + ":5: invalid LED: -1, 1 0 0\n");
    // The line is printed escaped: no control character reaches the terminal.
    EXPECT_EQ(LoadText(dir, kRigidTracker, "1\n0, 1 2\x1b[2J\\\n").errors,
              dir.File("t.rb") + ":2: invalid string: 0, 1 2\\x1b[2J\\\\\n");
    // One LED line more than a tracker holds.
    constexpr int kHeld = vektk::kMaxMarkersPerTracker;
    const std::string held = std::to_string(kHeld);
    std::string many;
    for (int i = 0; i <= kHeld; ++i) many += std::to_string(i) + "\n";
    const Loaded tooMany = LoadText(dir, kPointTracker, many);
    EXPECT_EQ(tooMany.count, 0);
    EXPECT_EQ(tooMany.errors, dir.File("t.rb") + ":" + std::to_string(kHeld + 1) +
                                  ": too many markers (a tracker holds at most " + held + "): " + held +
                                  "\n");
    EXPECT_EQ(LoadText(dir, kPointTracker, many.substr(0, many.rfind(held))).count, kHeld);

    // A scale that takes a position past float's range.
    const Loaded huge = LoadText(dir, kRigidTracker, "s,1e30\n1, 1 0 0\n2, 1e30 0 0\n");
    EXPECT_EQ(huge.count, 0);
    EXPECT_EQ(huge.errors, dir.File("t.rb") + ":3: invalid string: 2, 1e30 0 0\n");
}

TEST(TrackerLoad, ReadsALastLineWithoutLineBreak) {
    TempDir dir;
    const Loaded r = LoadText(dir, kRigidTracker, "1, 1 2 3\n2, 4 5 6");
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.tracker.markers[1].pos, (std::vector<float>{4, 5, 6}));
}

TEST(TrackerLoad, ReadsWindowsLineBreaks) {
    TempDir dir;
    const Loaded r = LoadText(dir, kRigidTracker, "# c\r\ns, 10\r\n1, 1 2 3\r\n7\r\n");
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.tracker.markers[0].pos, (std::vector<float>{10, 20, 30}));
    EXPECT_EQ(r.errors, "");
}

TEST(TrackerLoad, TooLongLineIsAnInvalidString) {
    TempDir dir;
    const std::string longLine = "1, 1 2 3" + std::string(300, ' ');
    const Loaded r = LoadText(dir, kRigidTracker, "0\n" + longLine + "\n2\n");
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(r.tracker.markers.empty());
    EXPECT_EQ(r.errors, dir.File("t.rb") + ":2: invalid string: " + longLine.substr(0, 255) + "\n");

    // 255 characters still fit the 256-byte buffer.
    const std::string fits = "1, 1 2 3" + std::string(247, ' ');
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(LoadText(dir, kRigidTracker, fits + "\n").count, 1);
}

TEST(TrackerLoad, MissingFileReportsTheSystemError) {
    TempDir dir;
    Tracker t(kPointTracker, 1, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(t.Load(kPointTracker, dir.File("none.pt")), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: open(" + dir.File("none.pt") + "): No such file or directory\n");
}

TEST(TrackerLoad, UnreadableFileIsAnErrorNotAnEmptyFile) {
    TempDir dir;
    Tracker t(kPointTracker, 1, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(t.Load(kPointTracker, dir.path()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: open(" + dir.path() + "): a folder, not a regular file\n");
    // A FIFO is refused at once instead of waiting for a writer.
    const std::string fifo = dir.File("fifo.pt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ostringstream err;
    EXPECT_EQ(t.Load(kPointTracker, fifo, err), 0);
    EXPECT_EQ(err.str(), "error: open(" + fifo + "): a FIFO, not a regular file\n");
}

TEST(TrackerLoad, AFileThatFailsMakesNoTracker) {
    TempDir dir;
    std::ostringstream err;
    EXPECT_FALSE(
        Tracker::FromFile(kRigidTracker, 1, dir.Write("bad.rb", "0, 0 0 0\n1, 5 0 0\n-1, 0 5 0\n"), err));
    EXPECT_EQ(err.str(), dir.File("bad.rb") + ":3: invalid LED: -1, 0 5 0\n");
    err.str("");
    EXPECT_FALSE(Tracker::FromFile(kRigidTracker, 1, dir.Write("empty.rb", "# nothing yet\n"), err));
    EXPECT_EQ(err.str(), "error: " + dir.File("empty.rb") + ": no markers\n");
    const std::optional<Tracker> good =
        Tracker::FromFile(kPointTracker, 3, dir.Write("good.pt", "# two\n4\n9\n"), err);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->id, 3);
    EXPECT_EQ(Leds(*good), (std::vector<int>{4, 9}));
}

TEST(TrackerLoad, SurvivesBinaryGarbage) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 4 << 10; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    const Loaded r = LoadText(dir, kRigidTracker, garbage);
    EXPECT_LE(r.count, static_cast<int>(r.tracker.markers.size()));
}

TEST(TrackerWrite, RigidLinesUseTwoDecimalsAndATrailingBlank) {
    Tracker t(kRigidTracker, 2,
              std::vector<MarkerDef>{{0, 5, {12.344f, -0.5f, 7.0f}}, {1, 6, {}}, {2, 9, {10, 20, 30}}}, 1.0f);
    std::ostringstream out;
    t.WriteMarkers(out, 1.0f);
    EXPECT_EQ(out.str(), "5, 12.34 -0.50 7.00 \n9, 10.00 20.00 30.00 \n");

    std::ostringstream scaled;
    t.WriteMarkers(scaled, 10.0f);
    EXPECT_EQ(scaled.str(), "5, 1.23 -0.05 0.70 \n9, 1.00 2.00 3.00 \n");
}

TEST(TrackerWrite, PointAndOtherTypes) {
    std::ostringstream point;
    Tracker(kPointTracker, 1, std::vector<int>{4, 8, 15}).WriteMarkers(point, 1.0f);
    EXPECT_EQ(point.str(), "4\n8\n15\n");

    std::ostringstream alt;
    Tracker(vektk::kRigidTrackerAlt, 1, std::vector<MarkerDef>{{0, 1, {1, 2, 3}}}, 1.0f)
        .WriteMarkers(alt, 1.0f);
    EXPECT_EQ(alt.str(), "1, 1.00 2.00 3.00 \n");

    std::ostringstream other;
    Tracker(42, 1, 3).WriteMarkers(other, 1.0f);
    EXPECT_EQ(other.str(), "");
}

TEST(TrackerFiles, EveryWriterLoadsBackToTheSameMarkers) {
    TempDir dir;
    // WriteMarkers (two decimals), the editor ("%.1f") and the capture
    // tool (index, ", " and stream-formatted numbers).
    const std::vector<MarkerDef> source{{0, 3, {1.25f, -2.5f, 100.0f}}, {1, 11, {0, 0.75f, -3}}};
    Tracker rigid(kRigidTracker, 4, source, 1.0f);
    ASSERT_TRUE(vektk::SaveTrackerFile(rigid, dir.File("w.rb"), 1.0f));
    const Tracker back = Tracker::FromFile(kRigidTracker, 4, dir.File("w.rb")).value();
    ASSERT_EQ(back.markers.size(), 2u);
    for (size_t i = 0; i < source.size(); ++i) {
        EXPECT_EQ(back.markers[i].led, source[i].led);
        EXPECT_EQ(back.markers[i].pos, source[i].pos);
    }

    const std::string editor = dir.Write("e.rb", "3, 1.2 -2.5 100.0\n11, 0.0 0.8 -3.0\n");
    EXPECT_EQ(Tracker::FromFile(kRigidTracker, 1, editor).value().markers[1].pos,
              (std::vector<float>{0, 0.8f, -3}));

    std::ostringstream capture;
    capture << 0 << ", " << 1e-05f << " " << -123456.0f << " " << 1500000.0f << "\n";
    const std::string captured = dir.Write("c.rb", capture.str());
    const Tracker c = Tracker::FromFile(kRigidTracker, 1, captured).value();
    ASSERT_EQ(c.markers.size(), 1u);
    EXPECT_EQ(c.markers[0].pos, (std::vector<float>{1e-05f, -123456.0f, 1500000.0f}));

    Tracker point(kPointTracker, 2, std::vector<int>{7, 1, 30});
    ASSERT_TRUE(vektk::SaveTrackerFile(point, dir.File("p.pt"), 1.0f));
    EXPECT_EQ(Leds(Tracker::FromFile(kPointTracker, 2, dir.File("p.pt")).value()),
              (std::vector<int>{7, 1, 30}));
}

TEST(AtomicFile, WritesAndReplacesKeepingPermissions) {
    TempDir dir;
    const std::string path = dir.File("body.rb");
    EXPECT_EQ(vektk::WriteFileAtomically(path, "0, 1 2 3\n").status, vektk::AtomicWriteStatus::Written);
    EXPECT_EQ(TempDir::Read(path), "0, 1 2 3\n");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);  // a new file: what a plain open gives

    ::chmod(path.c_str(), 0640);
    EXPECT_EQ(vektk::WriteFileAtomically(path, "new\n").status, vektk::AtomicWriteStatus::Written);
    EXPECT_EQ(TempDir::Read(path), "new\n");
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // an existing file keeps its mode
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
        1);

    // Owner and group stay as well, where the process may give them: as
    // root, a file of nobody's stays nobody's. So for the writer of streams.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const uid_t owner = st.st_uid;
    const gid_t group = st.st_gid;
    const auto expectKept = [&](mode_t mode, const std::string& content) {
        EXPECT_EQ(TempDir::Read(path), content);
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(st.st_uid, owner);
        EXPECT_EQ(st.st_gid, group);
    };
    ::chmod(path.c_str(), 0604);
    EXPECT_EQ(vektk::WriteFileAtomically(path, "newer\n").status, vektk::AtomicWriteStatus::Written);
    expectKept(0604, "newer\n");
    ::chmod(path.c_str(), 0620);
    vektk::AtomicFileStream stream;
    ASSERT_EQ(stream.Open(path).status, vektk::AtomicWriteStatus::Written);
    ASSERT_TRUE(stream.Append("take\n"));
    ASSERT_EQ(stream.Commit().status, vektk::AtomicWriteStatus::Written);
    expectKept(0620, "take\n");
}

TEST(AtomicFile, FailuresLeaveTheTargetAndNoTemporaryFile) {
    TempDir dir;
    const std::string missing = dir.File("no/such.pt");
    const auto r = vektk::WriteFileAtomically(missing, "x");
    EXPECT_EQ(r.status, vektk::AtomicWriteStatus::OpenFailed);
    EXPECT_EQ(r.error, ENOENT);
    std::string error;
    EXPECT_FALSE(vektk::SaveTrackerFile(Tracker(kPointTracker, 0, 1), missing, 1.0f, &error));
    EXPECT_NE(error.find(missing), std::string::npos);

    // A folder in the target's place: the rename fails and the folder stays.
    const std::string taken = dir.File("taken");
    std::filesystem::create_directory(taken);
    const auto t = vektk::WriteFileAtomically(taken, "x");
    EXPECT_EQ(t.status, vektk::AtomicWriteStatus::WriteFailed);
    EXPECT_NE(t.error, 0);
    EXPECT_TRUE(std::filesystem::is_directory(taken));
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
        1);
}

TEST(AtomicFile, AFullDiskLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.Write("body.rb", "1, 1.0 2.0 3.0\n");
    Tracker big(kRigidTracker, 0, 0);
    for (int i = 0; i < 200; ++i) big.markers.push_back({i, i, {1.0f, 2.0f, 3.0f}});
    // In a child that may not write a byte to a file, as on a full disk:
    // every write fails (EFBIG instead of ENOSPC, the same path in the writer).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
        std::string error;
        _exit(vektk::SaveTrackerFile(big, path, 1.0f, &error) ? 0
              : error.find(path) != std::string::npos         ? 1
                                                              : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);  // refused, with a message naming the file
    EXPECT_EQ(TempDir::Read(path), "1, 1.0 2.0 3.0\n");
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
        1);  // no temporary file left
}

TEST(AtomicFile, RespectsWhatThePathNames) {
    namespace fs = std::filesystem;
    TempDir dir;
    // A symbolic link: the file it points to is replaced, the link stays.
    const std::string real = dir.Write("real.rb", "old\n");
    fs::create_directory(dir.File("links"));
    fs::create_symlink("../real.rb", dir.File("links/body.rb"));
    ASSERT_EQ(vektk::WriteFileAtomically(dir.File("links/body.rb"), "new\n").status,
              vektk::AtomicWriteStatus::Written);
    EXPECT_TRUE(fs::is_symlink(dir.File("links/body.rb")));
    EXPECT_EQ(TempDir::Read(real), "new\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("links")), fs::directory_iterator()),
              1);  // no temporary file beside the link

    // A device is written, never replaced by a regular file.
    fs::create_symlink("/dev/null", dir.File("null"));
    EXPECT_EQ(vektk::WriteFileAtomically(dir.File("null"), "x\n").status, vektk::AtomicWriteStatus::Written);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A FIFO: written through when read, refused (not replaced) without a reader.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto unread = vektk::WriteFileAtomically(fifo, "x\n");
    EXPECT_EQ(unread.status, vektk::AtomicWriteStatus::OpenFailed);
    EXPECT_EQ(unread.error, ENXIO);
    std::string received;
    std::thread reader([&] { received = TempDir::Read(fifo); });
    vektk::AtomicWriteResult written{};
    for (int i = 0; i < 500; ++i) {  // until the reader has opened its end
        written = vektk::WriteFileAtomically(fifo, "0, 1 2 3\n");
        if (written.status == vektk::AtomicWriteStatus::Written) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reader.join();
    EXPECT_EQ(written.status, vektk::AtomicWriteStatus::Written);
    EXPECT_EQ(received, "0, 1 2 3\n");
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A read-only file is refused as a plain open refuses it (even for root).
    ::chmod(real.c_str(), 0444);
    const auto readOnly = vektk::WriteFileAtomically(real, "newer\n");
    EXPECT_EQ(readOnly.status, vektk::AtomicWriteStatus::OpenFailed);
    EXPECT_EQ(readOnly.error, EACCES);
    EXPECT_EQ(TempDir::Read(real), "new\n");

    // A link loop is refused.
    fs::create_symlink("loop", dir.File("loop"));
    EXPECT_EQ(vektk::WriteFileAtomically(dir.File("loop"), "x").error, ELOOP);
}

TEST(TrackerFile, RefusesToSaveNonFinitePositions) {
    TempDir dir;
    const std::string path = dir.Write("w.rb", "5, 1.00 2.00 3.00 \n");
    const Tracker rigid(kRigidTracker, 1, std::vector<MarkerDef>{{0, 5, {1, 2, 3}}}, 1.0f);
    std::string error;
    EXPECT_FALSE(vektk::SaveTrackerFile(rigid, path, 0.0f, &error));
    EXPECT_EQ(error, path + ": marker 0 (LED 5) has no finite position; nothing written");
    EXPECT_EQ(TempDir::Read(path), "5, 1.00 2.00 3.00 \n");
    // A point tracker has no positions to divide.
    EXPECT_TRUE(vektk::SaveTrackerFile(Tracker(kPointTracker, 1, 2), path, 0.0f));
}
