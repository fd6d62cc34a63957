// The editor's rigid body files and transform, without a window.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "editor_transform.h"
#include "output.h"
#include "rigid_body_file.h"
#include "temp_dir.h"
#include "tracker_file.h"

using testsupport::TempDir;

namespace {

struct ReadResult {
    int count;
    std::vector<MarkerRecord> markers;
    std::string errors;
};

ReadResult Read(const std::string& path) {
    ReadResult r;
    std::ostringstream err;
    r.count = ReadRigidBodyFile(path, r.markers, err);
    r.errors = err.str();
    return r;
}

TEST(QuillonFiles, ReadsTheBodiesSnapwellAndTheTrackerBarWrite) {
    TempDir dir;
    // snapwell: "index, x y z" relative to the first marker, general notation.
    std::vector<numerics::CaptureRecord> records(3);
    records[0] = {10, 20, 30, 0, 20};
    records[1] = {110.5, 20, 30, 0, 20};
    records[2] = {10, -5.25, 30, 0, 20};
    std::vector<MarkerRecord> live(3);
    for (int i = 0; i < 3; ++i) live[static_cast<std::size_t>(i)].id = vek_marker_id(0, i);
    std::ofstream(dir.File("snap.rb")) << [&] {
        std::ostringstream body;
        snapwell::writeBody(body, records, live, 10, false);
        return body.str();
    }();
    ReadResult snap = Read(dir.File("snap.rb"));
    ASSERT_EQ(snap.count, 3) << snap.errors;
    EXPECT_EQ(snap.markers[1].id, 1);
    EXPECT_EQ(snap.markers[1].frame, 1);  // the LED
    EXPECT_FLOAT_EQ(snap.markers[1].x, 100.5f);
    EXPECT_FLOAT_EQ(snap.markers[2].y, -25.25f);
    EXPECT_FLOAT_EQ(snap.markers[2].cond, 1.0f);

    // The tracker bar: "LED, x.xx y.yy z.zz " lines of a rigid tracker.
    vektk::Tracker rigid(vektk::kRigidTracker, 0,
                         std::vector<vektk::MarkerDef>{{0, 12, {1, 2, 3}}, {1, 40, {-4, 5, 6}}}, 1.0f);
    ASSERT_TRUE(vektk::SaveTrackerFile(rigid, dir.File("bar.rb"), 1.0f));
    ReadResult bar = Read(dir.File("bar.rb"));
    ASSERT_EQ(bar.count, 2) << bar.errors;
    EXPECT_EQ(bar.markers[1].frame, 40);
    EXPECT_FLOAT_EQ(bar.markers[1].x, -4);
}

TEST(QuillonFiles, LedOnlyLinesCommentsAndRefusedLines) {
    TempDir dir;
    ReadResult led = Read(dir.Write("led.rb", "# a body\n7\n"));
    ASSERT_EQ(led.count, 1);
    EXPECT_EQ(led.markers[0].id, 0);
    EXPECT_EQ(led.markers[0].frame, 7);
    EXPECT_EQ(led.markers[0].x, 0);
    EXPECT_EQ(led.markers[0].cond, 0);

    // The scale line of point files, a blank line, a partial position and
    // a line too long for the buffer are all refused, with nothing kept.
    const std::string path = dir.Write("scale.rb", "1, 0 0 0\ns, 1.0\n");
    ReadResult scale = Read(path);
    EXPECT_EQ(scale.count, 0);
    EXPECT_TRUE(scale.markers.empty());
    EXPECT_EQ(scale.errors, path + ":2: invalid string: s, 1.0\n");
    for (const std::string& content : {std::string("1, 0 0 0\n\n"), std::string("0, 0 0 0\n1, 2 3\n"),
                                       "1, 0 0 0\n2, 1 1 1" + std::string(300, ' ') + "\n3, 0 0 0\n"}) {
        ReadResult bad = Read(dir.Write("bad.rb", content));
        EXPECT_EQ(bad.count, 0) << content;
        EXPECT_NE(bad.errors.find(":2: invalid string: "), std::string::npos) << bad.errors;
    }
    // The line number is the file's, comments counted; the line is printed escaped.
    EXPECT_EQ(Read(dir.Write("late.rb", "# a\n# b\n# c\n1, 0 0 0\n\x1b]0;x\x07\n")).errors,
              dir.File("late.rb") + ":5: invalid string: \\x1b]0;x\\x07\n");
    EXPECT_EQ(Read(dir.File("missing.rb")).errors,
              "error opening " + dir.File("missing.rb") + ": No such file or directory\n");
    // A FIFO is refused at once instead of waiting for a writer.
    ASSERT_EQ(mkfifo(dir.File("fifo.rb").c_str(), 0600), 0);
    EXPECT_EQ(Read(dir.File("fifo.rb")).errors,
              "error opening " + dir.File("fifo.rb") + ": a FIFO, not a regular file\n");
}

TEST(QuillonFiles, LastLineWithoutBreakSurvivesARoundTrip) {
    TempDir dir;
    const std::string path = dir.Write("body.rb", "3, 1 2 3\n4, 10 20 30.25");
    ReadResult body = Read(path);
    ASSERT_EQ(body.count, 2);
    std::vector<MarkerRecord> displayed;
    TransformMarkers(body.markers, EditorTransform({0, 0, 0}, {0, 0, 0}), displayed);
    std::ostringstream out, err;
    ASSERT_TRUE(SaveRigidBodyFile(path, displayed, out, err));
    EXPECT_EQ(out.str(), "wrote to " + path + "\n");
    EXPECT_EQ(TempDir::Read(path), "3, 1.0 2.0 3.0\n4, 10.0 20.0 30.2\n");
    // The saved body loads as a rigid tracker of the session toolkit.
    const vektk::Tracker rigid = vektk::Tracker::FromFile(vektk::kRigidTracker, 0, path).value();
    ASSERT_EQ(rigid.markers.size(), 2u);
    EXPECT_EQ(rigid.markers[1].led, 4);
    EXPECT_EQ(rigid.markers[1].pos, (std::vector<float>{10, 20, 30.2f}));
}

TEST(QuillonFiles, FailedSaveLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string folder = dir.File("locked");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string path = dir.Write("locked/body.rb", "1, 1 2 3\n2, 4 5 6\n");
    chmod(folder.c_str(), 0555);
    // A folder without write permission does not stop root: its file is
    // then made read-only, which stops every writer.
    if (access(folder.c_str(), W_OK) == 0) chmod(path.c_str(), 0444);
    std::vector<MarkerRecord> displayed(1);
    displayed[0] = {9, 0, 1, 1, 1, 1, 0};
    std::ostringstream out, err;
    EXPECT_FALSE(SaveRigidBodyFile(path, displayed, out, err));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "open(" + path + "): Permission denied\n");
    EXPECT_EQ(TempDir::Read(path), "1, 1 2 3\n2, 4 5 6\n");
    chmod(folder.c_str(), 0755);
}

TEST(QuillonFiles, TransformMovesThenTurnsAboutXThenYThenZ) {
    std::vector<MarkerRecord> markers(2);
    markers[0] = {0, 5, 100, 0, 0, 0, 0};
    markers[1] = {1, 6, 0, 0, 0, 1, 0};
    std::vector<MarkerRecord> shown;
    TransformMarkers(markers, EditorTransform({0, 0, 0}, {0, 0, 90}), shown);
    EXPECT_EQ(shown[0].id, 5);
    EXPECT_NEAR(shown[0].x, 0, 1e-4);
    EXPECT_NEAR(shown[0].y, 100, 1e-4);
    EXPECT_FLOAT_EQ(shown[1].cond, 1.0f);  // shown even when the file gave no position
    // Moved by 100 along X first, then turned about Z: onto the Y axis.
    TransformMarkers(markers, EditorTransform({100, 0, 0}, {0, 0, 90}), shown);
    EXPECT_NEAR(shown[1].x, 0, 1e-4);
    EXPECT_NEAR(shown[1].y, 100, 1e-4);
    // X first, then Y: (0, 100, 0) turned 90 about X is (0, 0, 100), then
    // 90 about Y gives (100, 0, 0).
    markers[1] = {1, 6, 0, 100, 0, 1, 0};
    TransformMarkers(markers, EditorTransform({0, 0, 0}, {90, 90, 0}), shown);
    EXPECT_NEAR(shown[1].x, 100, 1e-3);
    EXPECT_NEAR(shown[1].y, 0, 1e-3);
    EXPECT_NEAR(shown[1].z, 0, 1e-3);
}

}  // namespace
