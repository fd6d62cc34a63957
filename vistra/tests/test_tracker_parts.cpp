// The tracker bar's arithmetic without a window: tracker ids, free LEDs,
// the save report, the grid layout and mouse mapping, cell states with the
// lost time-out, the seen-marker window, and ".vistrast".
#include <gtest/gtest.h>

#include <QStringList>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "trackers/cell_states.h"
#include "trackers/grid_layout.h"
#include "trackers/save_report.h"
#include "trackers/seen_markers.h"
#include "trackers/tracker_leds.h"
#include "window/vistrast_file.h"

namespace {

using vektk::kPointTracker;
using vektk::MarkerId;
using vektk::Tracker;

std::vector<Tracker> TrackersWithIds(std::initializer_list<int> ids) {
    std::vector<Tracker> trackers;
    for (int id : ids) trackers.emplace_back(kPointTracker, id, 2);
    return trackers;
}

MarkerRecord Marker(int id, float cond) { return MarkerRecord{id, 1, 0, 0, 0, cond, 0}; }

TEST(TrackerIds, NextIdFillsTheFirstGapAndFreeLedsSkipUsedOnes) {
    EXPECT_EQ(NextTrackerId({}), 0);
    EXPECT_EQ(NextTrackerId(TrackersWithIds({0, 1, 2})), 3);
    EXPECT_EQ(NextTrackerId(TrackersWithIds({0, 2})), 1);
    EXPECT_EQ(NextTrackerId(TrackersWithIds({5})), 0);

    std::vector<Tracker> trackers;
    trackers.emplace_back(kPointTracker, 0, std::vector<int>{1, 3, 70});
    EXPECT_EQ(FreeLeds(trackers, 6), (std::vector<int>{0, 2, 4, 5}));
}

TEST(SaveReport, PointIdsInLinesOf17Then16AndRigidColumns) {
    const QString report = SaveReport(Tracker(kPointTracker, 0, 40));
    const QStringList lines = report.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].split(", ").size(), 17);
    EXPECT_EQ(lines[1].split(", ").size(), 16);
    EXPECT_EQ(lines[2].split(", ").size(), 7);
    EXPECT_TRUE(lines[0].startsWith("0, 1, 2, "));
    EXPECT_TRUE(lines[0].endsWith("16,"));
    EXPECT_EQ(lines[2], "33, 34, 35, 36, 37, 38, 39");

    const Tracker rigid(vektk::kRigidTracker, 1,
                        std::vector<vektk::MarkerDef>{{0, 12, {1.5f, -2, 300}}, {1, 7, {0, 0, 0}}}, 1.0f);
    EXPECT_EQ(SaveReport(rigid).toStdString(),
              "12    1.50       -2.00      300.00    \n"
              "7     0.00       0.00       0.00      \n");
}

TEST(GridLayout, ColumnsOfFourDigitCellsAndTheCellUnderThePointer) {
    // Ten cells in a 230 wide box, "0000" 28 pixels wide.
    const GridLayout g = ComputeGridLayout(230, 28, 10);
    EXPECT_EQ(g.columns, 7);
    EXPECT_EQ(g.rows, 2);
    EXPECT_EQ(g.width, 205);
    EXPECT_EQ(g.height, 40);
    EXPECT_EQ(ComputeGridLayout(100, 28, 10).width, 170);  // never narrower than 165 + 5

    const QSize size(g.width, g.height);
    EXPECT_EQ(g.cellAt({2, 2}, size, 10), 0);
    EXPECT_EQ(g.cellAt({2 + 3 * 28 + 5, 8}, size, 10), 3);
    EXPECT_EQ(g.cellAt({2 + 2 * 28, 2 + 15}, size, 10), 9);
    EXPECT_EQ(g.cellAt({1, 5}, size, 10), -1);                // left of the cells
    EXPECT_EQ(g.cellAt({2 + 3 * 28, 2 + 15}, size, 10), -1);  // past the last cell
    EXPECT_EQ(g.cellAt({2 + 7 * 28 + 1, 5}, size, 10), -1);   // right of the last column
    EXPECT_EQ(g.cellAt({50, 41}, size, 10), -1);              // below the grid
}

TEST(CellStates, SeenSelectedAndLostAfterTheTimeOutOnlyWhileConnected) {
    vektk::ViewSession session(0.001f);
    session.trackers.emplace_back(kPointTracker, 2, 4);
    session.selectedMarkers.Select(MarkerId(2, 1));
    session.markers = {Marker(MarkerId(1, 0), 1), Marker(MarkerId(2, 0), 1), Marker(MarkerId(2, 1), 1),
                       Marker(MarkerId(2, 2), -1), Marker(MarkerId(2, 3), -1)};
    LastSeenTimes lastSeen;
    const Tracker& t = session.trackers[0];
    // Disconnected: seen or not, nothing is ever lost.
    EXPECT_EQ(TrackerCellStates(t, session, 100, lastSeen),
              (std::vector<int>{kCellSeen, kCellSeenSelected, kCellIdle, kCellIdle}));
    EXPECT_TRUE(lastSeen.times.empty() || lastSeen.times[1] == 0);

    session.connected = true;
    TrackerCellStates(t, session, 1000, lastSeen);
    session.markers[1].cond = session.markers[2].cond = -1;  // both hidden from now on
    const uint32_t timeOut = lastSeen.lostTimeout;
    EXPECT_EQ(timeOut, 5000000u);
    EXPECT_EQ(TrackerCellStates(t, session, 1000 + timeOut, lastSeen),
              (std::vector<int>{kCellIdle, kCellSelected, kCellIdle, kCellIdle}));
    EXPECT_EQ(TrackerCellStates(t, session, 1001 + timeOut, lastSeen),
              (std::vector<int>{kCellLost, kCellLostSelected, kCellIdle, kCellIdle}));
    // A marker list of another length forgets every last-seen time.
    session.markers.push_back(Marker(MarkerId(3, 0), 1));
    EXPECT_EQ(TrackerCellStates(t, session, 2000 + timeOut, lastSeen),
              (std::vector<int>{kCellIdle, kCellSelected, kCellIdle, kCellIdle}));
    // A marker index beyond the tracker's cells is passed over, not the end of the list.
    session.markers = {Marker(MarkerId(2, 9), 1), Marker(MarkerId(2, 3), 1)};
    EXPECT_EQ(TrackerCellStates(t, session, 3000 + timeOut, lastSeen),
              (std::vector<int>{kCellIdle, kCellIdle, kCellIdle, kCellSeen}));
}

TEST(SeenMarkers, WindowOfThreeSecondsOfFramesThatFollowsTheList) {
    SeenMarkers seen;
    EXPECT_EQ(seen.bits.size(), 512u);
    seen.Update(100, 299, {Marker(0, 1), Marker(1, -1), Marker(2, 1)});
    EXPECT_EQ(seen.bits.size(), 3u);
    EXPECT_EQ(seen.Count(), 2);
    seen.Update(100, 300, {Marker(0, -1), Marker(1, 1), Marker(2, -1)});  // frame 300 restarts it
    EXPECT_EQ(seen.Count(), 1);
    // Below 1 Hz the window never restarts.
    for (int frame : {0, 3, 6}) seen.Update(0.5f, frame, {Marker(0, frame == 3 ? 1 : -1), Marker(1, -1)});
    EXPECT_EQ(seen.Count(), 2);
}

TEST(Vistrast, ReadsTheThreeKeysAndReportsWhatItCannotUse) {
    const std::string path = testing::TempDir() + "vistrast_read";
    auto read = [&](const std::string& text, std::string& err) {
        std::ofstream(path) << text;
        std::ostringstream messages;
        const WindowSettings s = ReadWindowSettings(path, messages);
        err = messages.str();
        return s;
    };
    std::string err;
    WindowSettings s = read("# only a comment\n\n", err);
    EXPECT_EQ(err, "");
    EXPECT_FALSE(s.configVisible || s.trackersVisible || s.markerMax);

    s = read(WindowSettingsText(true, false, 100) + "configVisible: yes\nmarker_max:\nfoo: 1\n" +
                 "marker_max: " + std::string(kVistrastWordLength + 1, '7') + "\n",
             err);
    EXPECT_EQ(s.configVisible, 0);  // the later line wins; no number reads as 0
    EXPECT_EQ(s.trackersVisible, 0);
    EXPECT_EQ(s.markerMax, 100);
    EXPECT_EQ(err, "unknown configuration: marker_max:\nunknown token: foo: in " + path +
                       "\nunknown configuration: marker_max: " + std::string(kVistrastWordLength + 1, '7') +
                       "\n");
    EXPECT_EQ(WindowSettingsText(true, false, 100),
              "configVisible: 1\ntrackersVisible: 0\nmarker_max: 100\n");

    // What it cannot use is printed escaped; a FIFO is refused, never waited on.
    read("\x1b[2J: 1\n", err);
    EXPECT_EQ(err, "unknown token: \\x1b[2J: in " + path + "\n");
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    std::ostringstream refused;
    s = ReadWindowSettings(path, refused);
    std::remove(path.c_str());
    EXPECT_FALSE(s.configVisible || s.trackersVisible || s.markerMax);
    EXPECT_EQ(refused.str(), "error: open(" + path + "): a FIFO, not a regular file\n");

    // Without HOME the file is the working directory's.
    const std::string home = getenv("HOME") ? getenv("HOME") : "";
    unsetenv("HOME");
    EXPECT_EQ(SettingsPath(), ".vistrast");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(SettingsPath(), "/home/u/.vistrast");
    setenv("HOME", home.c_str(), 1);

    // A write that fails says so and leaves nothing.
    std::ostringstream messages;
    EXPECT_FALSE(WriteWindowSettings(testing::TempDir() + "no/such/folder/.vistrast", "x", messages));
    EXPECT_NE(messages.str().find("error: open("), std::string::npos) << messages.str();
}

}  // namespace
