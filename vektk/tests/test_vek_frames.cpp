// Frame assembly: the library's streams arrive separately and in any
// interleaving; every delivered frame must hold the records of one frame.
#include <gtest/gtest.h>

#include "fake_veksock.h"
#include "vek.h"

using fakevek::fake;
using fakevek::Records;
using vektk::VEK;

namespace {

constexpr int kAll = VEK_MARKER_BIT | VEK_RIGID_BIT | VEK_IMAGE_BIT | VEK_DETECTOR_BIT;

class FrameTest : public testing::Test {
protected:
    void SetUp() override {
        fakevek::ResetFake();
        fakevek::EnableStreams(VEK_MARKER_BIT | VEK_RIGID_BIT);
        fakevek::SetFrame(0);
        ASSERT_EQ(session.Connect(vektk::ConnectionSettings("", 480.0f), true, false), 0);
    }

    static void QueueMarkers(int frame, int count = 3) {
        fake().markers.push_back(Records(fakevek::Markers(count, frame)));
    }
    static void QueueRigids(int frame, int count = 2) {
        fake().rigids.push_back(Records(fakevek::Rigids(count, frame)));
    }

    // Every list of the delivered frame carries `frame`.
    void ExpectFrame(int frame, size_t markers, size_t rigids) const {
        EXPECT_EQ(session.lastFrame, frame);
        EXPECT_EQ(session.markers.size(), markers);
        EXPECT_EQ(session.rigids.size(), rigids);
        for (const auto& m : session.markers) EXPECT_EQ(m.frame, frame);
        for (const auto& r : session.rigids) EXPECT_EQ(r.frame, frame);
        for (const auto& i : session.images) EXPECT_EQ(i.frame, frame);
        for (const auto& d : session.detectors) EXPECT_EQ(d.frame, frame);
    }

    VEK session{1.0f};
};

}  // namespace

TEST_F(FrameTest, AllStreamsInOnePoll) {
    fakevek::EnableStreams(kAll);
    fake().cameras = {VEKCamera{7, {0, 0, 0, 1, 0, 0, 0}, 1.0f, 0}};
    fakevek::SetFrame(1);
    QueueMarkers(1);
    QueueRigids(1);
    fake().images.push_back(Records(fakevek::Images(5, 1)));
    fake().detectors.push_back(Records(fakevek::Detectors(16, 1)));
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(1, 3, 2);
    EXPECT_EQ(session.images.size(), 5u);
    EXPECT_EQ(session.detectors.size(), 16u);
    ASSERT_EQ(session.cameras.size(), 1u);
    EXPECT_EQ(session.cameras[0].id, 7);
    EXPECT_EQ(session.pending->frame, -1);
    EXPECT_EQ(session.Poll(), 0);
}

TEST_F(FrameTest, FetchesUseTheBufferLimits) {
    fakevek::EnableStreams(kAll);
    fakevek::SetFrame(1);
    EXPECT_EQ(session.Poll(), 1);  // an empty frame
    using Calls = std::vector<std::string>;
    using fakevek::Call;
    EXPECT_EQ(fakevek::CallsNamed("vekGetMarkers"), Calls{Call("vekGetMarkers", VEK_MAX_MARKERS)});
    EXPECT_EQ(fakevek::CallsNamed("vekGetRigids"), Calls{Call("vekGetRigids", VEK_MAX_RIGIDS)});
    EXPECT_EQ(fakevek::CallsNamed("vekGetImages"), Calls{Call("vekGetImages", VEK_MAX_IMAGES)});
    EXPECT_EQ(fakevek::CallsNamed("vekGetDetectors"), Calls{Call("vekGetDetectors", VEK_MAX_DETECTORS)});
    EXPECT_EQ(fakevek::CallsNamed("vekGetCameras"),
              Calls{Call("vekGetCameras", VEK_FETCH_BYTES / sizeof(VEKCamera))});
}

TEST_F(FrameTest, StreamsCompletingOverSeveralPolls) {
    // Rigids first, markers a poll later; each stream is fetched until it
    // has delivered.
    fakevek::SetFrame(1);
    QueueRigids(1);
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_EQ(session.pending->mask, 2);
    QueueMarkers(1);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(1, 3, 2);
    EXPECT_EQ(fakevek::CountCalls("vekGetRigids"), 1);
    EXPECT_EQ(fakevek::CountCalls("vekGetMarkers"), 2);
}

TEST_F(FrameTest, LaterFrameArrivingFirstWaitsForTheNextFrame) {
    fakevek::SetFrame(1);
    QueueMarkers(1);
    EXPECT_EQ(session.Poll(), 0);  // rigids of frame 1 still missing
    // Frame 1 has no rigids; frame 2's rigids come first.
    fakevek::SetFrame(2);
    QueueRigids(2);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(1, 3, 0);
    EXPECT_EQ(session.pending->frame, 2);
    EXPECT_EQ(session.pending->mask, 2);
    QueueMarkers(2, 4);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(2, 4, 2);
}

TEST_F(FrameTest, TwoFramesInOnePoll) {
    fakevek::SetFrame(2);
    QueueMarkers(1);
    QueueRigids(2);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(1, 3, 0);
    QueueMarkers(2);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(2, 3, 2);
}

TEST_F(FrameTest, AFailedFetchCompletesTheFrameWithoutIt) {
    fakevek::SetFrame(1);
    fake().markers.push_back(fakevek::Failure<MarkerRecord>(-10054));
    QueueRigids(1);
    EXPECT_EQ(session.Poll(), 0);
    fakevek::SetFrame(2);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(1, 0, 2);
}

TEST_F(FrameTest, FailedCameraFetchKeepsTheCameras) {
    fake().cameras = {VEKCamera{1, {}, 1, 0}, VEKCamera{2, {}, -1, 0}};
    fakevek::SetFrame(1);
    EXPECT_EQ(session.Poll(), 1);
    EXPECT_EQ(session.cameras.size(), 2u);
    fake().cameraResult = -10054;
    fakevek::SetFrame(2);
    EXPECT_EQ(session.Poll(), 1);
    EXPECT_EQ(session.cameras.size(), 2u);
}

TEST_F(FrameTest, NoStreamEnabledGivesOneEmptyFramePerStep) {
    fakevek::EnableStreams(0);
    // Nothing new: no frame (not a frame -1).
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_EQ(session.lastFrame, 0);
    fakevek::SetFrame(1);
    EXPECT_EQ(session.Poll(), 1);
    EXPECT_EQ(session.lastFrame, 1);
    EXPECT_EQ(session.Poll(), 0);
    // Only frame numbers the server sent: from 1 straight to 3.
    fakevek::SetFrame(3);
    EXPECT_EQ(session.Poll(), 1);
    EXPECT_EQ(session.lastFrame, 3);
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_EQ(fakevek::CountCalls("vekGetMarkers"), 0);
}

// Paused, the library answers every stream off and nothing is fetched: the
// last frame stays, neither a half frame nor an empty one replaces it.
TEST_F(FrameTest, APausedStreamKeepsTheLastFrame) {
    fakevek::SetFrame(1);
    QueueMarkers(1);
    QueueRigids(1);
    EXPECT_EQ(session.Poll(), 1);
    fakevek::SetFrame(2);
    QueueMarkers(2, 4);
    EXPECT_EQ(session.Poll(), 0);  // frame 2's rigids still to come
    fake().integers[VEK_STREAMING] = 0;
    fakevek::EnableStreams(0);
    fakevek::SetFrame(4);  // frames 3 and 4 came before the pause took effect
    for (int i = 0; i < 3; ++i) EXPECT_EQ(session.Poll(), 0);
    ExpectFrame(1, 3, 2);
    // Resumed: frame 2 completes with its rigids.
    fake().integers[VEK_STREAMING] = 1;
    fakevek::EnableStreams(VEK_MARKER_BIT | VEK_RIGID_BIT);
    QueueRigids(2);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(2, 4, 2);
}

TEST_F(FrameTest, FlushMakesNoFramesUp) {
    // Connected to a server far into its run whose marker stream has not
    // brought anything yet: one empty frame with the server's number, not
    // frames 1, 2, 3 ...
    fakevek::EnableStreams(VEK_MARKER_BIT);
    fakevek::SetFrame(5000);
    session.Flush();
    EXPECT_EQ(session.lastFrame, 5000);
    EXPECT_EQ(fakevek::CountCalls("vekGetError"), 2);
    QueueMarkers(5001);
    fakevek::SetFrame(5001);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(5001, 3, 0);

    // A frame half assembled when a Flush comes is dropped whole: its late
    // rigids do not come out as a frame of their own.
    fakevek::EnableStreams(VEK_MARKER_BIT | VEK_RIGID_BIT);
    fakevek::SetFrame(5002);
    QueueMarkers(5002);
    EXPECT_EQ(session.Poll(), 0);
    session.Flush();
    QueueRigids(5002);
    EXPECT_EQ(session.Poll(), 0);
    fakevek::SetFrame(5003);
    QueueMarkers(5003);
    QueueRigids(5003);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(5003, 3, 2);
}

TEST_F(FrameTest, UnreadableFrameCounterIsNoNewFrame) {
    fakevek::EnableStreams(0);
    fakevek::SetFrame(5);
    while (session.Poll() == 1) {
    }
    fake().integers.erase(VEK_FRAME);
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(session.lastFrame, 5);
}

TEST_F(FrameTest, FrameCounterJumpingBackwardsRestarts) {
    for (int f = 1; f <= 10; ++f) {
        fakevek::SetFrame(f);
        QueueMarkers(f);
        QueueRigids(f);
        ASSERT_EQ(session.Poll(), 1);
    }
    // A partial frame 11 is pending when the server restarts.
    fakevek::SetFrame(11);
    QueueMarkers(11);
    EXPECT_EQ(session.Poll(), 0);

    fakevek::SetFrame(2);
    QueueMarkers(1);  // from before the counter read: already old
    QueueRigids(2);
    testing::internal::CaptureStdout();
    EXPECT_EQ(session.Poll(), 0);
    EXPECT_EQ(session.lastFrame, 2);
    EXPECT_EQ(session.pending->frame, 2);
    QueueMarkers(2);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(2, 3, 2);
    fakevek::SetFrame(3);
    QueueMarkers(3);
    QueueRigids(3);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(3, 3, 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "resetting frame...\n");
}

TEST_F(FrameTest, RecordsOfADeliveredFrameAreNotDeliveredAgain) {
    fakevek::SetFrame(5);
    QueueMarkers(5);
    QueueRigids(5);
    ASSERT_EQ(session.Poll(), 1);
    // Late rigids of frames 4 and 5 (after a Flush, say) are dropped.
    fakevek::SetFrame(6);
    QueueMarkers(6);
    QueueRigids(5);
    EXPECT_EQ(session.Poll(), 0);
    QueueRigids(4);
    EXPECT_EQ(session.Poll(), 0);
    QueueRigids(6);
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(6, 3, 2);
}

TEST_F(FrameTest, RecordsOfAThirdFrameAreNotMixedIn) {
    fakevek::EnableStreams(1 | 2 | 4);
    fakevek::SetFrame(3);
    QueueMarkers(1);
    QueueRigids(2);
    fake().images.push_back(Records(fakevek::Images(4, 3)));
    EXPECT_EQ(session.Poll(), 1);
    ExpectFrame(1, 3, 0);
    EXPECT_EQ(session.images.size(), 0u);
    EXPECT_EQ(session.pending->frame, 2);
    EXPECT_TRUE(session.pending->images.empty());
}

TEST_F(FrameTest, FlushStopsAfter480PollsOfAnEndlessStream) {
    fakevek::EnableStreams(0);
    fake().frameStep = 1;
    fakevek::SetFrame(1);
    session.Flush();
    EXPECT_EQ(fakevek::CountCalls("vekGetError"), 480);
    EXPECT_EQ(session.lastFrame, 480);
    EXPECT_EQ(session.pending->frame, -1);
}

TEST_F(FrameTest, FlushDrainsQueuedFramesAndClearsPending) {
    for (int f = 1; f <= 3; ++f) {
        QueueMarkers(f);
        QueueRigids(f);
    }
    QueueMarkers(4);
    fakevek::SetFrame(4);
    session.Flush();
    EXPECT_EQ(session.lastFrame, 3);
    EXPECT_EQ(fakevek::CountCalls("vekGetError"), 4);  // three frames, then 0
    EXPECT_EQ(session.pending->frame, -1);
    EXPECT_EQ(session.pending->mask, 0);
}

TEST_F(FrameTest, FlushWarnsAboutAFailedRequest) {
    fake().status = 0;
    fake().errors = {VEK_INVALID_ENUM};
    testing::internal::CaptureStderr();
    session.Flush();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: VEK::Flush: error during flushing (e=21)\n");
    EXPECT_TRUE(session.connected);

    VEK idle(1.0f);
    fake().calls.clear();
    idle.Flush();
    EXPECT_TRUE(fake().calls.empty());
}
