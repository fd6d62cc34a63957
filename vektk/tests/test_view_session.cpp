// The view session: averages over server-frequency windows, filtering of
// the frame's markers, resets, selections and colours.
#include <gtest/gtest.h>

#include "fake_veksock.h"
#include "marker_filter_driver.h"
#include "view_session.h"

using fakevek::fake;
using vektk::Colour;
using vektk::MarkerId;
using vektk::ViewSession;

namespace {

class ViewSessionTest : public testing::Test {
protected:
    void SetUp() override {
        fakevek::ResetFake();
        fakevek::EnableStreams(VEK_MARKER_BIT);
        fakevek::SetFrame(0);
        fake().floats[VEK_FREQUENCY] = 480.0f;
        ASSERT_EQ(session.ConnectView(vektk::ConnectionSettings("", 480.0f), 1, 0), 0);
    }

    // Delivers the next frame with these markers; Update's result.
    int Deliver(std::vector<MarkerRecord> records) {
        ++frame;
        for (MarkerRecord& m : records) m.frame = frame;
        fakevek::SetFrame(frame);
        fake().markers.push_back(fakevek::Records(std::move(records)));
        return session.Update();
    }

    static MarkerRecord M(int id, float cond, unsigned flags = 0, float x = 0) {
        return fakevek::Marker(id, 0, x, 0, 0, cond, flags);
    }

    ViewSession session{0.001f};
    int frame = 0;
};

}  // namespace

TEST_F(ViewSessionTest, Defaults) {
    const ViewSession fresh(0.001f);
    EXPECT_FLOAT_EQ(fresh.scale, 0.001f);
    EXPECT_EQ(fresh.conditionThreshold, 100.0f);
    EXPECT_EQ(fresh.filterFrequency, 16.0f);
    EXPECT_FALSE(fresh.filtering);
    EXPECT_TRUE(fresh.fill);
}

TEST_F(ViewSessionTest, AveragesUseOneAndTwoSecondWindows) {
    ASSERT_EQ(Deliver({M(0, 5)}), 1);  // first frame: frequency 0 -> 480 resets
    EXPECT_FLOAT_EQ(session.systemFrequency, 480.0f);
    EXPECT_TRUE(session.markersSeenAverage.samples.empty());
    for (int i = 0; i < 1000; ++i) {
        // Seen: 0 < cond < 100. Condition mean of the seen markers.
        ASSERT_EQ(Deliver({M(0, i < 500 ? 2.0f : 4.0f), M(1, 6.0f), M(2, 0), M(3, 150)}), 1);
    }
    EXPECT_EQ(session.markersSeenAverage.samples.size(), 480u);
    EXPECT_FLOAT_EQ(session.markersSeenAverage.mean, 2.0f);
    EXPECT_EQ(session.conditionAverage.samples.size(), 960u);
    // 460 frames with mean 4, 500 with mean 5.
    EXPECT_NEAR(session.conditionAverage.mean, (460 * 4.0f + 500 * 5.0f) / 960.0f, 1e-3);
}

TEST_F(ViewSessionTest, FlaggedMarkersAreSeenButNotInTheConditionAverage) {
    Deliver({M(0, 1)});
    session.ResetDerived();
    Deliver({M(0, 10.0f), M(1, 90.0f, 0x10)});
    EXPECT_FLOAT_EQ(session.markersSeenAverage.mean, 2.0f);
    EXPECT_FLOAT_EQ(session.conditionAverage.mean, 10.0f);
    // Only flagged markers: condition mean 0 is not added.
    Deliver({M(1, 90.0f, 0x10)});
    EXPECT_EQ(session.conditionAverage.samples.size(), 1u);
    EXPECT_EQ(session.markersSeenAverage.samples.size(), 2u);
}

TEST_F(ViewSessionTest, FramesWithoutSeenMarkersAddNothing) {
    Deliver({M(0, 1)});
    session.ResetDerived();
    Deliver({M(0, 0), M(1, -1)});
    Deliver({});
    EXPECT_TRUE(session.markersSeenAverage.samples.empty());
    EXPECT_TRUE(session.conditionAverage.samples.empty());
}

TEST_F(ViewSessionTest, StoppedServerDeliversFramesWithoutAveragesOrFilters) {
    fake().floats[VEK_FREQUENCY] = 0.0f;
    session.filtering = true;
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Deliver({M(0, 1, 0, 7.0f)}), 1);
    EXPECT_EQ(session.markers.size(), 1u);
    EXPECT_FLOAT_EQ(session.markers[0].x, 7.0f);
    EXPECT_EQ(session.markers[0].cond, 1.0f);
    EXPECT_TRUE(session.markersSeenAverage.samples.empty());
    EXPECT_TRUE(session.markerFilters.empty());
    EXPECT_EQ(session.Update(), 0);  // nothing new
}

TEST_F(ViewSessionTest, FilteringReplacesTheMarkersWithTheLaggedFit) {
    session.filterFrequency = 160.0f;  // n = 3
    session.filtering = true;
    std::vector<float> xs;
    for (int i = 1; i <= 6; ++i) {
        ASSERT_EQ(Deliver({M(0, 1, 0, 10.0f * i), M(1, 1, 0, 1.0f)}), 1);
        ASSERT_EQ(session.markers.size(), 2u);
        xs.push_back(session.markers[0].cond > 0 ? session.markers[0].x : -1.0f);
    }
    // Frame 1 resets (frequency change); then the window fills; a lag of 1.
    EXPECT_EQ(xs, (std::vector<float>{-1, -1, -1, 30, 40, 50}));
    EXPECT_EQ(session.markers[0].frame, 5);
    EXPECT_EQ(session.markerFilters.size(), 2u);
}

TEST_F(ViewSessionTest, FilterListsFollowTheTrackersOfTheFrame) {
    session.filterFrequency = 160.0f;  // n = 3
    session.filtering = true;
    const int b = MarkerId(1, 0);
    for (int i = 0; i < 5; ++i) Deliver({M(0, 1), M(1, 1), M(2, 1), M(b, 1), M(b + 1, 1), M(b + 2, 1)});
    EXPECT_EQ(session.CountSeen(), 6);
    // The first tracker is removed: its markers leave the output at once,
    // and the positions now holding the second tracker's start afresh.
    Deliver({M(b, 1), M(b + 1, 1), M(b + 2, 1)});
    EXPECT_EQ(session.markerFilters.size(), 3u);
    ASSERT_EQ(session.markers.size(), 3u);
    EXPECT_EQ(session.CountSeen(), 0);  // no filtered output yet
    for (int i = 0; i < 3; ++i) Deliver({M(b, 1), M(b + 1, 1), M(b + 2, 1)});
    EXPECT_EQ(session.CountSeen(), 3);
    for (const MarkerRecord& m : session.markers) EXPECT_GE(m.id, b);
    Deliver({});
    EXPECT_TRUE(session.markerFilters.empty());
}

TEST_F(ViewSessionTest, FrequencyChangeResetsAveragesAndFilters) {
    session.filterFrequency = 80.0f;  // n = 7 at 480 Hz
    for (int i = 0; i < 5; ++i) Deliver({M(0, 3)});
    ASSERT_FALSE(session.markerFilters.empty());
    EXPECT_EQ(session.markerFilters[0].n(), 7);
    EXPECT_FALSE(session.markersSeenAverage.samples.empty());
    fake().floats[VEK_FREQUENCY] = 240.0f;
    Deliver({M(0, 3)});
    EXPECT_TRUE(session.markerFilters.empty());
    EXPECT_TRUE(session.filteredMarkers.empty());
    EXPECT_TRUE(session.markersSeenAverage.samples.empty());
    EXPECT_EQ(session.markersSeenAverage.mean, 0.0f);
    EXPECT_TRUE(session.conditionAverage.samples.empty());
    Deliver({M(0, 3)});
    EXPECT_EQ(session.markerFilters.size(), 1u);
    EXPECT_EQ(session.markerFilters[0].n(), 3);  // rebuilt for 240 Hz
}

TEST_F(ViewSessionTest, SessionEndStillUpdatesOnce) {
    Deliver({M(0, 3)});
    fake().errors = {VEK_SERVER_STOPPED};
    fake().floats[VEK_FREQUENCY] = 0.0f;
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.Update(), -1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(session.systemFrequency, 0.0f);
    EXPECT_TRUE(session.markersSeenAverage.samples.empty());  // reset by the change
}

TEST_F(ViewSessionTest, SelectionsAndClearFrame) {
    Deliver({M(MarkerId(1, 0), 1), M(MarkerId(1, 1), 1), M(MarkerId(2, 0), 0)});
    session.SelectAllMarkers();
    EXPECT_EQ(session.selectedMarkers.items,
              (std::map<int, int>{{MarkerId(1, 0), 0}, {MarkerId(1, 1), 0}, {MarkerId(2, 0), 0}}));
    EXPECT_TRUE(session.selectedMarkers.Deselect(MarkerId(1, 1)));
    EXPECT_FALSE(session.selectedMarkers.Deselect(MarkerId(1, 1)));
    EXPECT_FALSE(session.selectedMarkers.Contains(MarkerId(1, 1)));
    session.selectedRigids.Select(0);
    session.selectedCameras.Select(3);
    EXPECT_TRUE(session.selectedCameras.Contains(3));
    session.rigids.push_back(fakevek::Rigid(1, frame));
    session.ClearFrame();
    EXPECT_TRUE(session.markers.empty());
    EXPECT_TRUE(session.rigids.empty());
    EXPECT_TRUE(session.selectedMarkers.items.empty());
    EXPECT_TRUE(session.selectedRigids.items.empty());
    EXPECT_TRUE(session.selectedCameras.items.empty());
}

TEST_F(ViewSessionTest, RecolourAllChangesExistingEntriesOnly) {
    const Colour red{1, 0, 0, 1};
    session.RecolourAll(red);
    EXPECT_TRUE(session.markerColours.empty());
    EXPECT_TRUE(session.rigidColours.empty());
    session.markerColours[MarkerId(1, 0)] = Colour{0, 1, 0, 1};
    session.rigidColours[2] = Colour{0, 0, 1, 1};
    session.RecolourAll(red);
    EXPECT_EQ(session.markerColours.size(), 1u);
    EXPECT_EQ(session.markerColours[MarkerId(1, 0)].r, 1.0f);
    EXPECT_EQ(session.rigidColours[2].b, 0.0f);
}

TEST_F(ViewSessionTest, CountSeenUsesTheThreshold) {
    Deliver({M(0, 1), M(1, 99.9f), M(2, 100), M(3, 0), M(4, -2)});
    EXPECT_EQ(session.CountSeen(), 2);
    session.conditionThreshold = 200;
    EXPECT_EQ(session.CountSeen(), 3);
}

TEST_F(ViewSessionTest, ApplyTrackerOptionsSendsOrStoresFill) {
    session.trackers.emplace_back(vektk::kPointTracker, 1, 2);
    session.trackers.emplace_back(vektk::kRigidTracker, 5, 2);
    session.fill = false;
    fake().calls.clear();
    EXPECT_EQ(session.ApplyTrackerOptions(), 2);
    EXPECT_EQ(fakevek::Requests(),
              (std::vector<std::string>{"vekTrackerf(1,1020,0)", "vekTrackerf(5,1020,0)"}));

    session.Done();
    session.fill = true;
    EXPECT_EQ(session.ApplyTrackerOptions(), 2);
    EXPECT_EQ(session.ApplyTrackerOptions(), 2);
    EXPECT_EQ(session.trackers[1].options, (std::vector<std::pair<int, float>>{{1020, 1.0f}}));
}

TEST(MarkerFilterDriver, NeedsThreeSamplesPerFilterPeriod) {
    std::vector<numerics::MarkerFilter> filters;
    std::vector<MarkerRecord> output;
    std::vector<MarkerRecord> markers{fakevek::Marker(0, 1, 5, 0, 0)};
    vektk::FilterFrameMarkers(markers, filters, output, 480, 200, true);
    EXPECT_TRUE(filters.empty());
    EXPECT_EQ(markers[0].x, 5.0f);
    vektk::FilterFrameMarkers(markers, filters, output, 480, 0, true);
    EXPECT_TRUE(filters.empty());
    vektk::FilterFrameMarkers(markers, filters, output, -480, -16, true);
    EXPECT_TRUE(filters.empty());
    vektk::FilterFrameMarkers(markers, filters, output, 480, 160, false);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].n(), 3);
    EXPECT_EQ(markers[0].x, 5.0f);  // filtering off: the frame is left alone
    EXPECT_EQ(output.size(), 1u);
}
