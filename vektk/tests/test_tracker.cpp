// Trackers on the server: what Create, Destroy and Update send, and the
// messages of error reporting; the LED and the label of a marker id.
#include <gtest/gtest.h>

#include "fake_veksock.h"
#include "tracker.h"

using fakevek::Call;
using fakevek::fake;
using vektk::kPointTracker;
using vektk::kRigidTracker;
using vektk::MarkerDef;
using vektk::MarkerId;
using vektk::Tracker;
using Calls = std::vector<std::string>;

namespace {

class TrackerTest : public testing::Test {
protected:
    void SetUp() override { fakevek::ResetFake(); }
};

Tracker Wand() {
    return Tracker(kRigidTracker, 2, std::vector<MarkerDef>{{0, 5, {1, 2, 3}}, {3, 9, {}}}, 10.0f);
}

}  // namespace

TEST_F(TrackerTest, Constructors) {
    const Tracker counted(kPointTracker, 1, 3);
    ASSERT_EQ(counted.markers.size(), 3u);
    EXPECT_EQ(counted.markers[2].index, 2);
    EXPECT_EQ(counted.markers[2].led, 2);
    EXPECT_TRUE(counted.enabled);
    EXPECT_FALSE(counted.reportErrors);
    EXPECT_TRUE(counted.text.empty());
    EXPECT_TRUE(counted.options.empty());

    const Tracker listed(kPointTracker, 1, std::vector<int>{8, 4});
    EXPECT_EQ(listed.markers[1].index, 1);
    EXPECT_EQ(listed.markers[1].led, 4);

    const Tracker copied = Wand();
    EXPECT_EQ(copied.markers[0].pos, (std::vector<float>{10, 20, 30}));
    EXPECT_EQ(copied.markers[1].index, 3);
    EXPECT_TRUE(copied.markers[1].pos.empty());

    testing::internal::CaptureStderr();
    const Tracker empty(kRigidTracker, 1, std::vector<MarkerDef>{}, 1.0f);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error: Tracker(): empty rigid\n");
    EXPECT_TRUE(empty.markers.empty());
}

TEST(MarkerIds, LedOfAMarkerAndItsLabel) {
    std::vector<Tracker> trackers;
    trackers.emplace_back(kPointTracker, 0, std::vector<int>{1, 3, 70});
    EXPECT_EQ(vektk::LedOfMarker(trackers, vektk::MarkerId(0, 2)), 70);
    EXPECT_EQ(vektk::LedOfMarker(trackers, vektk::MarkerId(0, 9)), -1);  // no such index: kept as -1
    EXPECT_EQ(vektk::LedOfMarker(trackers, vektk::MarkerId(4, 0)), std::nullopt);

    EXPECT_EQ(vektk::MarkerLabel(vektk::MarkerId(17, 3), 2), "17:3");
    EXPECT_EQ(vektk::MarkerLabel(vektk::MarkerId(17, 3), 1), "3");
}

TEST_F(TrackerTest, CreateSendsTrackerMarkersOptionsThenEnables) {
    Tracker t = Wand();
    t.SetOption(VEK_FILL, 0.0f, false);
    t.SetOption(VEK_TRACKER_THRESHOLD, 0.8f, false);
    EXPECT_EQ(t.Create(), 1);
    EXPECT_EQ(
        fakevek::Requests(),
        (Calls{Call("vekTrackeri", 2, VEK_CREATE, VEK_RIGID_TRACKER),
               Call("vekMarkeriv", MarkerId(2, 0), VEK_MARKER_LED, 5),
               Call("vekMarkerfv", MarkerId(2, 0), VEK_MARKER_POSITION, 10, 20, 30),
               Call("vekMarkeriv", MarkerId(2, 3), VEK_MARKER_LED, 9), Call("vekTrackerf", 2, VEK_FILL, 0.0f),
               Call("vekTrackerf", 2, VEK_TRACKER_THRESHOLD, 0.8f), Call("vekTracker", 2, VEK_ON)}));
    // Without error reporting the status is never read.
    EXPECT_EQ(fakevek::CountCalls("vekGetStatus"), 0);
}

TEST_F(TrackerTest, CreateReportsSuccessWhenNotCheckingErrors) {
    fake().failing["vekTrackeri"] = 34;
    Tracker t = Wand();
    EXPECT_EQ(t.Create(), 1);
    EXPECT_EQ(fakevek::CountCalls("vekTracker"), 1);
}

TEST_F(TrackerTest, CreateFailsWhenTheTrackerIsRefused) {
    fake().failing["vekTrackeri"] = 34;
    fake().status = 0;
    fake().errors = {33};
    Tracker t = Wand();
    t.reportErrors = true;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(t.Create(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "warning: Tracker::Create(): e=21\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: Tracker::Create(): failed to create tracker: (tracker id=2 e=22)\n");
    EXPECT_EQ(fakevek::CountCalls("vekMarkeriv"), 0);
}

TEST_F(TrackerTest, CreateReportsFailedMarkersAndEmptiesTheQueue) {
    // The status tells about the last request: the position of marker 0
    // is sent after its LED.
    fake().failing["vekMarkeriv"] = 32;
    fake().failing["vekMarkerfv"] = 32;
    fake().failing["vekTracker"] = 0x103;
    Tracker t = Wand();
    t.id = -3;
    t.reportErrors = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(t.Create(), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: Tracker::Create(): failed to create marker: (marker id=5 e=20)\n"
              "error: Tracker::Create(): failed to create marker: (marker id=9 e=20)\n"
              "error: Tracker::Create(): failed to create markers: (markers=2)\n"
              "error: Tracker::Update(): failed to update tracker: (tracker id=-3 e=103)\n");
    // 3 reads for the messages above, 1000 to empty the queue.
    EXPECT_EQ(fakevek::CountCalls("vekGetError"), 1003);
}

TEST_F(TrackerTest, DestroyAndUpdate) {
    Tracker t(kPointTracker, 7, 2);
    t.Destroy();
    t.Update(true);
    t.enabled = false;
    t.Update(true);
    t.enabled = true;
    t.Update(false);
    t.id = -1;
    t.Destroy();
    EXPECT_EQ(fakevek::Requests(), (Calls{"vekTracker(7,259)", "vekTracker(7,257)", "vekTracker(7,258)",
                                          "vekTracker(7,259)", "vekTracker(7,259)"}));
}

TEST_F(TrackerTest, SetOptionReplacesOrAppends) {
    Tracker t(kPointTracker, 1, 1);
    t.SetOption(1020, 1.0f, true);  // none yet: appended
    t.SetOption(1013, 0.8f, false);
    t.SetOption(1020, 0.0f, true);   // replaced
    t.SetOption(1013, 0.5f, false);  // appended
    EXPECT_EQ(t.options, (std::vector<std::pair<int, float>>{{1020, 0.0f}, {1013, 0.8f}, {1013, 0.5f}}));
}

TEST_F(TrackerTest, RemoveMarkerKeepsOtherIndexes) {
    Tracker t(kPointTracker, 1, std::vector<int>{10, 11, 12});
    EXPECT_EQ(t.RemoveMarker(1), 11);
    ASSERT_EQ(t.markers.size(), 2u);
    EXPECT_EQ(t.markers[0].index, 0);
    EXPECT_EQ(t.markers[1].index, 2);
    EXPECT_EQ(t.RemoveMarker(1), -1);
    EXPECT_EQ(t.RemoveMarker(-1), -1);
    EXPECT_EQ(t.markers.size(), 2u);
}
