// Peak statistics against hand-computed values, and the history the data
// dialog's plot keeps of them.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "data/plot_history.h"
#include "session/detector_session.h"
#include "session/peak_stats.h"

namespace {

using vektk::MarkerId;

TEST(VistraPeakStats, MeanAndDeviationOfValidSamples) {
    PeakStats s;
    EXPECT_EQ(s.mean, -1.0);
    s.stddev = 5;
    s.add(1);
    EXPECT_EQ(s.updateDeviation(), 0.0);
    EXPECT_EQ(s.stddev, 0.0);  // fewer than two samples: no deviation
    s.add(kNoPeak);
    s.add(2);
    s.add(3);
    EXPECT_EQ(s.count, 3);
    EXPECT_DOUBLE_EQ(s.sum, 6);
    EXPECT_DOUBLE_EQ(s.sumSq, 14);
    EXPECT_DOUBLE_EQ(s.mean, 2);
    EXPECT_DOUBLE_EQ(s.updateDeviation(), 1.0);  // sqrt((14 - 36/3) / 2)
    EXPECT_DOUBLE_EQ(s.last, 3);
}

TEST(VistraPeakStats, RingOfFortyForgetsOldestAndMissingSamples) {
    PeakStats s;
    for (int i = 0; i < PeakStats::window; ++i) s.add(1);
    EXPECT_EQ(s.count, 40);
    s.add(kNoPeak);  // replaces a valid 1
    EXPECT_EQ(s.count, 39);
    EXPECT_DOUBLE_EQ(s.sum, 39);
    EXPECT_DOUBLE_EQ(s.mean, 1);
    EXPECT_EQ(s.next, 1);
    s.add(3);
    s.updateDeviation();
    ASSERT_GT(s.stddev, 0);
    // A marker no longer seen: once its mean is gone, so is its deviation,
    // without waiting for the next recomputation.
    for (int i = 0; i < PeakStats::window; ++i) s.add(kNoPeak);
    EXPECT_EQ(s.count, 0);
    EXPECT_DOUBLE_EQ(s.mean, -1.0);
    EXPECT_EQ(s.stddev, 0.0);
    EXPECT_DOUBLE_EQ(s.sum, 0);
    s.add(4);  // replaces a missing sample
    EXPECT_EQ(s.count, 1);
    EXPECT_DOUBLE_EQ(s.mean, 4);
}

ImageRecord Peak(int id, int frame, int camera, int detector, float pos, int width, float amp) {
    return ImageRecord{id, frame, camera, detector, width, 3, pos, amp};
}

class VistraCollectPeaksTest : public ::testing::Test {
protected:
    VistraCollectPeaksTest() {
        setMarkers({0, 1});  // markers 0 and 1 of tracker 0 have rows
        session.cameras.resize(2);
    }
    void setMarkers(const std::vector<int>& ids) {
        session.markers.clear();
        for (const int id : ids) session.markers.push_back(MarkerRecord{id, 0, 0, 0, 0, 0, 0});
    }
    void collect(std::vector<ImageRecord> peaks, int selected = 0) {
        session.images = std::move(peaks);
        session.CollectPeaks(selected);
    }
    const PeakCell& cell(int row, int camera, int detector) {
        const PeakCell* c = session.tables.cell(row, camera, detector);
        EXPECT_NE(c, nullptr);
        return *c;
    }

    std::ostringstream log;
    DetectorSession session{log};
};

TEST_F(VistraCollectPeaksTest, FirstPeakPerCellPerFrameOnly) {
    collect({Peak(0, 7, 0, 0, 0.5f, 4, 8), Peak(0, 7, 0, 0, 0.9f, 2, 9), Peak(1, 7, 1, 1, 0.25f, 2, 6),
             Peak(-1, 7, 0, 0, 0.1f, 2, 6), Peak(5, 7, 0, 0, 0.1f, 2, 6), Peak(1, 7, -1, 0, 0.1f, 2, 6)});
    EXPECT_EQ(log.str(), "resize 2 2 2\n");
    const PeakCell& c = cell(0, 0, 0);
    EXPECT_EQ(c.lastFrame, 7);
    EXPECT_EQ(c.peakFlags, 3);
    EXPECT_EQ(c.posStats.count, 1);
    EXPECT_DOUBLE_EQ(c.posStats.mean, 0.5);
    EXPECT_DOUBLE_EQ(c.ampStats.mean, 8);
    EXPECT_DOUBLE_EQ(c.widthStats.mean, 4);
    EXPECT_DOUBLE_EQ(c.powerStats.mean, 2);
    EXPECT_DOUBLE_EQ(cell(1, 1, 1).posStats.mean, 0.25);
    EXPECT_EQ(cell(1, 0, 0).lastFrame, 0);  // the unassigned and unknown peaks went nowhere
    EXPECT_EQ(session.tables.cell(5, 0, 0), nullptr);
}

TEST_F(VistraCollectPeaksTest, CellsWithoutPeakAgeAndEmptyFrameDeactivates) {
    collect({Peak(0, 7, 0, 0, 0.5f, 4, 8), Peak(1, 7, 1, 1, 0.25f, 2, 6)});
    collect({Peak(1, 8, 1, 1, 0.75f, 2, 6)});
    const PeakCell& aged = cell(0, 0, 0);
    EXPECT_EQ(aged.lastFrame, 8);
    EXPECT_DOUBLE_EQ(aged.posStats.last, -1.0);
    EXPECT_EQ(aged.posStats.count, 1);
    EXPECT_DOUBLE_EQ(cell(1, 1, 1).posStats.mean, 0.5);

    collect({});  // nothing accepted: every active cell gets one missing sample
    EXPECT_EQ(aged.lastFrame, 0);
    EXPECT_EQ(cell(1, 1, 1).lastFrame, 0);
    EXPECT_DOUBLE_EQ(cell(1, 1, 1).ampStats.last, -1.0);
    collect({});  // inactive cells are left alone
    EXPECT_EQ(cell(1, 1, 1).posStats.count, 2);
    EXPECT_EQ(log.str(), "resize 2 2 2\n");  // sized once, not every frame
}

TEST_F(VistraCollectPeaksTest, DeviationOnlyEveryThirtySecondFrame) {
    collect({Peak(0, 30, 0, 0, 0.2f, 4, 8)});
    collect({Peak(0, 31, 0, 0, 0.4f, 4, 8)});
    EXPECT_EQ(cell(0, 0, 0).posStats.stddev, 0.0);
    collect({Peak(0, 32, 0, 0, 0.6f, 4, 8)});
    EXPECT_NEAR(cell(0, 0, 0).posStats.stddev, 0.2, 1e-6);
    collect({Peak(0, 33, 0, 0, 1.6f, 4, 8)});
    EXPECT_NEAR(cell(0, 0, 0).posStats.stddev, 0.2, 1e-6);
}

TEST_F(VistraCollectPeaksTest, FastModeCollectsAndAgesOnlyTheSelectedCamera) {
    collect({Peak(0, 7, 0, 0, 0.5f, 4, 8), Peak(1, 7, 1, 1, 0.25f, 2, 6)});
    session.fastMode = true;
    collect({Peak(0, 8, 1, 0, 0.5f, 4, 8)}, 0);  // camera 1 is not collected
    EXPECT_EQ(cell(0, 1, 0).lastFrame, 0);
    EXPECT_EQ(cell(1, 1, 1).lastFrame, 7);  // nor aged
    EXPECT_EQ(cell(1, 1, 1).posStats.count, 1);
    EXPECT_DOUBLE_EQ(cell(0, 0, 0).posStats.last, -1.0);  // the selected camera aged
}

TEST_F(VistraCollectPeaksTest, WidthZeroPeakKeepsPowerFinite) {
    collect({Peak(0, 7, 0, 0, 0.5f, 0, 8)});
    const PeakCell& c = cell(0, 0, 0);
    EXPECT_EQ(c.widthStats.count, 1);
    EXPECT_EQ(c.powerStats.count, 0);
    EXPECT_DOUBLE_EQ(c.powerStats.mean, -1.0);
    collect({Peak(0, 8, 0, 0, 0.5f, 2, 8)});
    EXPECT_DOUBLE_EQ(c.powerStats.mean, 4);
    EXPECT_TRUE(std::isfinite(c.powerStats.sum));
}

TEST_F(VistraCollectPeaksTest, ResizeWhenCameraCountChangesWhileConnectedKeepingCells) {
    collect({Peak(0, 7, 0, 0, 0.5f, 4, 8)});
    session.cameras.resize(3);
    collect({Peak(0, 8, 0, 0, 0.5f, 4, 8)});  // not connected: no resize
    EXPECT_EQ(session.tables.tableCameras(), 2);
    setMarkers({0, 1, 2, 3});
    session.connected = true;
    collect({Peak(0, 9, 2, 0, 0.5f, 4, 8)});
    session.connected = false;
    EXPECT_EQ(log.str(), "resize 2 2 2\nresize 4 3 2\n");
    EXPECT_EQ(cell(0, 0, 0).posStats.count, 2);  // kept
    EXPECT_EQ(cell(0, 2, 0).posStats.count, 1);
    session.ClearTables();
    collect({});
    EXPECT_EQ(log.str(), "resize 2 2 2\nresize 4 3 2\nresize 4 3 2\n");
}

TEST_F(VistraCollectPeaksTest, RowsFollowTheMarkerListAcrossTrackers) {
    // Two trackers of two markers each: rows 0 to 3.
    setMarkers({0, 1, MarkerId(1, 0), MarkerId(1, 1)});
    collect({Peak(MarkerId(1, 1), 7, 0, 0, 0.5f, 4, 8), Peak(MarkerId(1, 0), 7, 1, 1, 0.25f, 2, 6),
             Peak(1, 7, 0, 1, 0.75f, 2, 6), Peak(MarkerId(2, 0), 7, 0, 0, 0.1f, 2, 6)});
    EXPECT_EQ(log.str(), "resize 4 2 2\n");
    EXPECT_EQ(session.tables.rowOf(MarkerId(1, 1)), 3);
    EXPECT_DOUBLE_EQ(cell(3, 0, 0).posStats.mean, 0.5);
    EXPECT_DOUBLE_EQ(cell(2, 1, 1).posStats.mean, 0.25);
    EXPECT_DOUBLE_EQ(cell(1, 0, 1).posStats.mean, 0.75);
    EXPECT_EQ(session.tables.rowOf(MarkerId(2, 0)), -1);  // no such marker: no statistics

    // The first tracker goes: the second one's markers move up a row and
    // keep their statistics.
    setMarkers({MarkerId(1, 0), MarkerId(1, 1)});
    collect({Peak(MarkerId(1, 1), 8, 0, 0, 0.7f, 4, 8)});
    EXPECT_EQ(log.str(), "resize 4 2 2\nresize 2 2 2\n");
    EXPECT_EQ(session.tables.rows(), 2);
    EXPECT_EQ(cell(1, 0, 0).posStats.count, 2);
    EXPECT_NEAR(cell(1, 0, 0).posStats.mean, 0.6, 1e-6);
    EXPECT_EQ(cell(0, 1, 1).posStats.count, 1);
    EXPECT_EQ(cell(0, 0, 0).posStats.count, 0);
}

PlotSample At(int64_t ms, float value) {
    PlotSample s{ms, {}};
    s.values.fill(value);
    return s;
}

TEST(VistraPlotHistory, KeepsTenSecondsAtMostOneSampleInTwentyMsAndOneMarkerPerRow) {
    PlotHistory h;
    EXPECT_EQ(h.samples(0), nullptr);
    // Refreshes every 8 ms for 12 s: samples of the last 10 s, 20 ms apart
    // or more, the newest values kept.
    for (int64_t ms = 0; ms <= 12000; ms += 8) h.add(0, MarkerId(1, 0), At(ms, static_cast<float>(ms)));
    const auto* s = h.samples(0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(h.now(), 12000);
    EXPECT_GE(s->front().ms, 2000);
    EXPECT_LE(s->size(), static_cast<std::size_t>(PlotHistory::kSpanMs / PlotHistory::kSpacingMs + 1));
    EXPECT_GE(s->size(), static_cast<std::size_t>(PlotHistory::kSpanMs / 24));
    for (std::size_t i = 1; i < s->size(); ++i)
        EXPECT_GE((*s)[i].ms - (*s)[i - 1].ms, PlotHistory::kSpacingMs);
    EXPECT_FLOAT_EQ(s->back().values[3], 12000);

    // Another marker in the row starts afresh; rows not kept go.
    h.add(1, MarkerId(1, 1), At(12000, 1));
    h.add(0, MarkerId(1, 2), At(12008, 2));
    EXPECT_EQ(h.samples(0)->size(), 1u);
    h.keepRows({0});
    EXPECT_EQ(h.samples(1), nullptr);
    h.clear();
    EXPECT_EQ(h.samples(0), nullptr);
    EXPECT_EQ(h.now(), 0);
}

}  // namespace
