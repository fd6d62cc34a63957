// The session outside frame assembly: connecting, closing, frequency,
// trackers, polling errors and the error texts.
#include <gtest/gtest.h>

#include "fake_veksock.h"
#include "vek.h"

using fakevek::Call;
using fakevek::fake;
using vektk::ConnectionSettings;
using vektk::MarkerId;
using vektk::Tracker;
using vektk::VEK;
using Calls = std::vector<std::string>;

namespace {

class VekTest : public testing::Test {
protected:
    void SetUp() override {
        fakevek::ResetFake();
        fake().initResult = 3;
        session.trackers.emplace_back(vektk::kPointTracker, 1, std::vector<int>{4});
        session.trackers.emplace_back(vektk::kPointTracker, 2, std::vector<int>{6});
    }
    int Connect(int flags = 0, bool stream = true, bool setFrequency = true) {
        ConnectionSettings settings("127.0.0.1:7000", 240.0f);
        settings.flags = flags;
        settings.interpolate = 2;
        return session.Connect(settings, stream, setFrequency);
    }

    VEK session{0.001f};
};

}  // namespace

TEST_F(VekTest, ConnectSetsUpInOrder) {
    EXPECT_EQ(Connect(0x200), 3);
    EXPECT_TRUE(session.connected);
    EXPECT_EQ(session.flags, 0x200);
    EXPECT_EQ(fakevek::Requests(),
              (Calls{Call("vekInit", "127.0.0.1:7000", VEK_MODE2),
                     Call("vekSetInteger", VEK_INTERPOLATION, 2), "vekLoadPose(0,1)", "vekScale(0.001)",
                     // Trackers are sent while the scale is 1.
                     "vekScale(1)", Call("vekTrackeri", 1, VEK_CREATE, VEK_POINT_TRACKER),
                     Call("vekMarkeriv", MarkerId(1, 0), VEK_MARKER_LED, 4), Call("vekTracker", 1, VEK_ON),
                     Call("vekTrackeri", 2, VEK_CREATE, VEK_POINT_TRACKER),
                     Call("vekMarkeriv", MarkerId(2, 0), VEK_MARKER_LED, 6), Call("vekTracker", 2, VEK_ON),
                     "vekScale(0.001)", Call("vekSetInteger", VEK_STREAMING, VEK_ON),
                     Call("vekSetFloat", VEK_FREQUENCY, 240)}));
    EXPECT_FLOAT_EQ(session.frequency, 240.0f);
}

TEST_F(VekTest, ConnectWithoutStreamingOrFrequency) {
    EXPECT_EQ(Connect(0, false, false), 3);
    EXPECT_EQ(fakevek::CountCalls("vekSetInteger"), 1);  // interpolation only
    EXPECT_EQ(fakevek::CountCalls("vekSetFloat"), 0);
}

TEST_F(VekTest, ConnectResetsTheLastFrame) {
    session.lastFrame = 99;
    session.markers.push_back(fakevek::Marker(1, 99));
    session.cameras.push_back(VEKCamera{});
    session.pending->Accept(100, vektk::kMarkerBit);
    Connect();
    EXPECT_EQ(session.lastFrame, 0);
    EXPECT_TRUE(session.markers.empty());
    EXPECT_TRUE(session.cameras.empty());
    EXPECT_EQ(session.pending->frame, -1);
}

TEST_F(VekTest, ConnectFailures) {
    fake().initResult = VEK_ERR_REFUSED;
    EXPECT_EQ(Connect(), VEK_ERR_REFUSED);
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(fakevek::Requests(), Calls{"vekInit(127.0.0.1:7000,0)"});

    // The server refuses part of the set-up: not connected, and the
    // library session opened by vekInit is closed again.
    fakevek::ResetFake();
    fake().failing["vekScale"] = VEK_INVALID_VALUE;
    EXPECT_EQ(Connect(), -1);
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(fakevek::Requests().back(), "vekDone()");
    EXPECT_EQ(fakevek::CountCalls("vekSetInteger(513"), 0);
}

TEST_F(VekTest, SlaveSendsNoInterpolationNorTrackers) {
    fake().floats[VEK_FREQUENCY] = 480.0f;
    EXPECT_EQ(Connect(VEK_SLAVE), 3);
    EXPECT_EQ(fakevek::Requests(), (Calls{"vekInit(127.0.0.1:7000,1)", "vekLoadPose(0,1)", "vekScale(0.001)",
                                          "vekSetInteger(513,258)"}));
    // The running frequency is left alone and read back.
    EXPECT_FLOAT_EQ(session.frequency, 480.0f);

    fake().calls.clear();
    session.Done();
    EXPECT_EQ(fakevek::Requests(), (Calls{"vekRPDClose()", "vekDone()"}));
}

TEST_F(VekTest, SlaveSetsTheFrequencyOfAStoppedServerOnly) {
    Connect(VEK_SLAVE, false, false);
    fake().floats[VEK_FREQUENCY] = 0.0f;
    EXPECT_EQ(session.SetFrequency(120.0f), 1);
    EXPECT_FLOAT_EQ(session.frequency, 120.0f);
    EXPECT_EQ(session.SetFrequency(60.0f), 0);
    EXPECT_FLOAT_EQ(session.frequency, 120.0f);
    fake().floats.clear();  // the frequency cannot be read
    EXPECT_EQ(session.SetFrequency(60.0f), 0);
    EXPECT_EQ(fakevek::CountCalls("vekSetFloat"), 1);
}

TEST_F(VekTest, SetFrequencyResults) {
    Connect(0, false, false);
    EXPECT_EQ(session.SetFrequency(100.0f), 1);
    EXPECT_FLOAT_EQ(session.frequency, 100.0f);

    fake().failing["vekSetFloat"] = VEK_INVALID_OPERATION;
    EXPECT_EQ(session.SetFrequency(5000.0f), 0);
    EXPECT_FLOAT_EQ(session.frequency, 0.0f);
    fake().failing["vekSetFloat"] = VEK_INVALID_VALUE;
    EXPECT_EQ(session.SetFrequency(-1.0f), VEK_INVALID_VALUE);
}

TEST_F(VekTest, DoneDestroysTrackersAndCloses) {
    Connect();
    fake().calls.clear();
    session.Done();
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(fakevek::Requests(), (Calls{"vekRPDClose()", "vekTracker(1,259)", "vekTracker(1,257)",
                                          "vekTracker(2,259)", "vekTracker(2,257)", "vekDone()"}));
}

TEST_F(VekTest, DestroyTrackersKeepsOneAndNeedsAConnection) {
    session.DestroyTrackers(-1);
    EXPECT_TRUE(fakevek::Requests().empty());
    Connect();
    fake().calls.clear();
    session.DestroyTrackers(2);
    EXPECT_EQ(fakevek::Requests(), (Calls{"vekTracker(1,259)", "vekTracker(1,257)"}));
    EXPECT_EQ(session.trackers.size(), 2u);
}

TEST_F(VekTest, RemoveAndFindTrackers) {
    session.trackers.emplace_back(vektk::kPointTracker, 1, 3);  // second with id 1
    EXPECT_EQ(session.FindTracker(1), &session.trackers[0]);
    EXPECT_EQ(session.FindTracker(9), nullptr);

    testing::internal::CaptureStdout();
    EXPECT_EQ(session.RemoveTracker(9), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "warning: VEK::RemoveTracker: tracker id not found\n");
    EXPECT_EQ(session.trackers.size(), 3u);

    EXPECT_EQ(session.RemoveTracker(1), 1);  // not connected: nothing sent
    EXPECT_TRUE(fakevek::Requests().empty());
    ASSERT_EQ(session.trackers.size(), 2u);
    EXPECT_EQ(session.trackers[1].markers.size(), 3u);  // the later id 1 stays

    Connect();
    fake().calls.clear();
    EXPECT_EQ(session.RemoveTracker(2), 1);
    EXPECT_EQ(fakevek::Requests(), (Calls{"vekTracker(2,259)", "vekTracker(2,257)"}));

    session.trackers.clear();
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.RemoveTracker(1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(VekTest, PollEndsTheSessionOnErrors) {
    EXPECT_EQ(session.Poll(), 0);  // not connected
    Connect();

    fake().errors = {VEK_SERVER_STOPPED};
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.Poll(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "vek stopped\n");
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(session.lastError, VEK_SERVER_STOPPED);
    EXPECT_EQ(fakevek::CountCalls("vekDone"), 0);
    EXPECT_EQ(session.Poll(), 0);

    // A refused request leaves the session going; its code waits for the
    // host to report it.
    Connect();
    fake().errors = {VEK_INVALID_VALUE};
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_TRUE(session.connected);
    EXPECT_EQ(session.lastError, VEK_INVALID_VALUE);
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_EQ(session.lastError, VEK_INVALID_VALUE);

    fake().errors = {-10054};
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.Poll(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(session.connected);
    EXPECT_EQ(session.lastError, -10054);
    EXPECT_EQ(fakevek::CountCalls("vekDone"), 1);
}

TEST(VekErrorText, GeneralCodes) {
    for (int context : {0, 1}) {
        EXPECT_EQ(VEK::ErrorText("h", 0, context), "No Error");
        EXPECT_EQ(VEK::ErrorText("h", 1, context), "Finished");
        EXPECT_EQ(VEK::ErrorText("h", 32, context), "Invalid Value");
        EXPECT_EQ(VEK::ErrorText("h", 33, context), "Invalid Enum");
        EXPECT_EQ(VEK::ErrorText("h", 34, context), "Invalid Operation");
        EXPECT_EQ(VEK::ErrorText("h", 0x101, context), "101");
        EXPECT_EQ(VEK::ErrorText("h", -10061, context), "ffffd8b3");
    }
    EXPECT_EQ(VEK::ErrorText("h", 32, 2), "");
    EXPECT_EQ(VEK::ErrorText("h", 32, 258), "");
}

TEST(VekErrorText, ConnectionLines) {
    const std::string h = "mocap1";
    EXPECT_EQ(VEK::ErrorText(h, 32, 256), "error: vekInit: Invalid Value");
    EXPECT_EQ(VEK::ErrorText(h, 33, 256), "error: vekInit: Invalid Enum");
    EXPECT_EQ(VEK::ErrorText(h, 34, 256), "error: vekInit: Invalid Operation");
    EXPECT_EQ(VEK::ErrorText(h, -10065, 256),
              "error: Initialzation failed connecting to mocap1(Host Unreachable)");
    EXPECT_EQ(VEK::ErrorText(h, -10061, 256),
              "error: Initialization failed connecting to mocap1 (Connection Refused)");
    EXPECT_EQ(VEK::ErrorText(h, -10060, 256), "error: (Timed Out)");
    EXPECT_EQ(VEK::ErrorText(h, -10051, 256),
              "error: Initialzation failed connecting to mocap1(Network Unreachable)");
    EXPECT_EQ(VEK::ErrorText(h, 257, 256), "error: vekInit: 257: check server messages.");
    EXPECT_EQ(VEK::ErrorText(h, -1, 256), "error: vekInit: -1: check server messages.");
}

TEST(VekErrorText, DialogTexts) {
    const std::string h = "mocap1";
    EXPECT_EQ(VEK::ErrorText(h, 34, 257), "error: vekInit: Invalid Operation");
    EXPECT_EQ(VEK::ErrorText(h, -10065, 257),
              "Initialzation failed connecting to mocap1. (Host Unreachable) \n"
              "Please check than there is a computer running vekd on mocap1.");
    EXPECT_EQ(VEK::ErrorText(h, -10061, 257),
              "Initialzation failed connecting to mocap1. (Connection Refused) \n"
              "Please check that vekd is running on mocap1.");
    EXPECT_EQ(VEK::ErrorText(h, -10060, 257),
              "Initialzation failed connecting to mocap1. (Timed Out) \n"
              "Please check that there is a computer running vekd on mocap1.");
    EXPECT_EQ(VEK::ErrorText(h, -10051, 257),
              "Initialzation failed connecting to mocap1. (Network Unreachable) \n"
              "Please check that you have a live network connection.");
    EXPECT_EQ(VEK::ErrorText(h, 258, 257),
              "Initialization Failed (258).  Check that vekd is still running on mocap1 and see "
              "server messages.");
}
