// Helpers of the vistra shell that need no display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "window/auto_fast_mode.h"
#include "window/error_report.h"
#include "glwidget/frame_rate_texts.h"
#include "detector_view/marker_points.h"
#include "detector_view/multi_view_layout.h"
#include "detector_view/peak_strip.h"
#include "window/server_check.h"
#include "session/frame_age_meter.h"
#include "glwidget/text_3d.h"
#include "widgets/widget_utils.h"

namespace {

TEST(VistraElideLeft, KeepsTheEndOfLongTexts) {
    EXPECT_EQ(ElideLeft("abcdefgh", 5, true).toStdString(), "...gh");
    EXPECT_EQ(ElideLeft("abcdefgh", 5, false).toStdString(), "defgh");
    EXPECT_EQ(ElideLeft("abcde", 5, true).toStdString(), "abcde");
    EXPECT_EQ(ElideLeft("abcdef", 3, true).toStdString(), "def");  // dots only when more than three remain
}

TEST(VistraGlutTextFont, FollowsTheBitmapFontOrder) {
    const std::pair<const char*, int> expected[] = {{"System", 9},    {"System", 8},    {"Times", 10},
                                                    {"Times", 24},    {"Helvetica", 8}, {"Helvetica", 10},
                                                    {"Helvetica", 16}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_STREQ(GlutTextFont(i).family, expected[i].first);
        EXPECT_EQ(GlutTextFont(i).pointSize, expected[i].second);
    }
    for (int i : {7, 100, -1}) {
        EXPECT_STREQ(GlutTextFont(i).family, "Helvetica");
        EXPECT_EQ(GlutTextFont(i).pointSize, 8);
    }
}

TEST(VistraMultiViewLayout, FiveCamerasIn810x610) {
    const MultiViewLayout l = LayoutCameras(810, 610, 5);
    EXPECT_EQ(l.usableWidth, 800);
    EXPECT_EQ(l.usableHeight, 600);
    EXPECT_EQ(l.columns, 3);
    EXPECT_EQ(l.rows, 2);
    EXPECT_EQ(l.cell, 266);
    EXPECT_EQ(l.offsetX, 134);
    EXPECT_EQ(l.offsetY, 167);
    EXPECT_FLOAT_EQ(l.centreX(4), -400 + 134 + 266);
    EXPECT_FLOAT_EQ(l.centreY(4), 300 - 167 - 266);
}

TEST(VistraMultiViewLayout, DegenerateSizesStayFinite) {
    const MultiViewLayout none = LayoutCameras(800, 600, 0);
    EXPECT_EQ(none.columns, 1);
    EXPECT_EQ(none.rows, 1);
    const MultiViewLayout tiny = LayoutCameras(5, 5, 64);
    EXPECT_GE(tiny.columns, 1);
    EXPECT_GE(tiny.rows, 1);
    const MultiViewLayout wide = LayoutCameras(1610, 210, 64);
    EXPECT_EQ(wide.cell, std::min(1600 / wide.columns, 200 / wide.rows));
    EXPECT_GE(wide.columns * wide.rows, 64);
}

TEST(VistraMarkerPoints, OnePointPerIdAndOnePerUnassignedPeak) {
    const std::vector<ImageRecord> peaks = {{3, 1, 0, 0, 2, 0, 0.25f, 1},
                                            {-1, 1, 0, 0, 2, 0, 0.5f, 1},
                                            {3, 1, 0, 1, 2, 0, 0.6f, 1},
                                            {-1, 1, 0, 1, 2, 0, 0.5f, 1},
                                            {3, 1, 1, 0, 2, 0, 0.9f, 1}};
    const std::vector<MarkerPoint> points = BuildMarkerPoints(peaks, 0);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].id, 3);
    EXPECT_EQ(points[0].flags, kPointX | kPointY);
    EXPECT_FLOAT_EQ(points[0].x, 0.75f);
    EXPECT_FLOAT_EQ(points[0].y, 0.6f);
    EXPECT_EQ(points[1].flags, kPointX);
    EXPECT_EQ(points[2].flags, kPointY);
    EXPECT_EQ(points[2].id, -1);
}

TEST(VistraAutoFastMode, OnlyAfterThreeSlowPeriodsInARowPastTheFirstThousandFrames) {
    AutoFastMode rule;
    auto period = [&](float rate, int frame = 5000, bool on = false, float hz = 480) {
        return rule.periodEnded(rate, hz, frame, on);
    };
    // Busy for a moment: one slow period, then the queued frames drained.
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(period(300));
        EXPECT_FALSE(period(660));
    }
    // Two slow periods, one that says nothing (a stop or a new frequency),
    // then two slow ones: never three in a row.
    EXPECT_FALSE(period(400));
    EXPECT_FALSE(period(400));
    EXPECT_FALSE(period(0, 5000, false, 0));
    EXPECT_FALSE(period(400));
    EXPECT_FALSE(period(400));
    EXPECT_TRUE(period(400));  // the third in a row
    // Not within the first 1000 frames, not when fast mode is on, not at
    // 90 % of the frequency.
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(period(400, 1000));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(period(400, 5000, true));
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(period(432));
    // Off again (the user's choice) while still slow: three periods more.
    EXPECT_FALSE(period(400));
    EXPECT_FALSE(period(400));
    EXPECT_TRUE(period(400));
}

TEST(VistraErrorReport, HandlerLinesAndMessages) {
    std::ostringstream out;
    EXPECT_EQ(ReportHandlerError(0x20, out).toStdString(), "Error: Invalid Value sent to Vek");
    EXPECT_EQ(ReportHandlerError(0x22, out).toStdString(), "Error: an Invalid Operation occurred");
    EXPECT_EQ(ReportHandlerError(0x103, out).toStdString(), "");
    EXPECT_EQ(ReportHandlerError(-10054, out).toStdString(), "");
    EXPECT_EQ(ReportHandlerError(1, out).toStdString(), "");
    EXPECT_EQ(ReportHandlerError(0, out).toStdString(), "");
    EXPECT_EQ(out.str(),
              "error: VekHandlerError: Error: Invalid Value sent to Vek (0x20)\n"
              "error: VekHandlerError: Error: an Invalid Operation occurred (0x22)\n"
              "error: VekHandlerError:  (0x103)\n"
              "error: VekHandlerError:  (e=-10054)\n");
}

TEST(VistraErrorReport, InitErrorTexts) {
    EXPECT_EQ(InitErrorText("h", VEK_ERR_REFUSED).toStdString(),
              "Initialzation failed connecting to h. (Connection Refused) \nPlease check that vekd is "
              "running on h.");
    EXPECT_EQ(
        InitErrorText("h", 0x7777).toStdString(),
        "An internal error occurred.\n\nPlease check the server log.\nIf the problem persists, call customer "
        "support with this error code: 30583");
    EXPECT_TRUE(LibraryHasText(VEK_ERR_MASTER_BUSY));
    EXPECT_EQ(InitErrorText("h", VEK_ERR_MASTER_BUSY).toStdString(), "");
    EXPECT_EQ(
        SlaveOfferText(257).toStdString(),
        "Could not Connect.\n\nVek may be busy streaming.  \nPlease check the server log and restart Vekd if "
        "necessary.  \nIf the problem persists, call customer support with this error code: 257\n\nTo "
        "Connect in Slave-Mode click \"Connect\" otherwise click \"Ok\"");
}

VEKScanEntry Entry(const char* host) {
    VEKScanEntry e{};
    std::strncpy(e.host, host, sizeof e.host - 1);
    return e;
}

TEST(VistraServerCheck, AnswerFromTheServersPortCounts) {
    const VEKScanEntry answers[] = {Entry("127.0.0.1:4000"), Entry("127.0.0.1")};
    EXPECT_TRUE(ScanFoundServer("127.0.0.1:4000", answers, 1));
    EXPECT_TRUE(ScanFoundServer("localhost:4000", answers, 1));
    EXPECT_FALSE(ScanFoundServer("127.0.0.1:4001", answers, 1));
    EXPECT_TRUE(ScanFoundServer("localhost", answers, 2));  // default port
    EXPECT_FALSE(ScanFoundServer("localhost", answers, 0));

    // Answers for other ports, or a failed query, are named in the failure.
    const DiscoveryTarget target{"127.0.0.1:4001", "127.0.0.1", 5000};
    EXPECT_EQ(DiscoveryFailureText(target, answers, 2),
              "discovery answers from 127.0.0.1 on UDP port 5000 name only 127.0.0.1:4000, 127.0.0.1; "
              "VEK_SCAN_PORT sets the UDP port to ask");
    EXPECT_EQ(DiscoveryFailureText(target, answers, -3),
              "discovery query to 127.0.0.1 on UDP port 5000 failed: ret=-3; VEK_SCAN_PORT sets the UDP port "
              "to ask");
}

TEST(VistraPeakStrip, ColumnsUnderEachLineGreenOverRed) {
    const std::vector<ImageRecord> peaks = {
        {-1, 1, 0, 0, 46, 0, 0.25f, 1},  // red, 10 pixels wide, centred at column 600
        {2, 1, 0, 0, 1, 0, 0.25f, 1},    // green, one pixel, over the red one
        {3, 1, 0, 0, 1, 0, 0.9f, 1},     // green at column 80
        {4, 1, 1, 0, 1, 0, 0.5f, 1},     // another camera
        {5, 1, 0, 1, 1, 0, 0.5f, 1},     // the other detector
    };
    const std::vector<uint32_t> strip = BuildPeakStrip(peaks, 0, 0, 800, 800, 1, 0);
    ASSERT_EQ(strip.size(), 800u);
    EXPECT_EQ(std::count(strip.begin(), strip.end(), kStripRed), 9);
    EXPECT_EQ(strip[595], kStripRed);
    EXPECT_EQ(strip[604], kStripRed);
    EXPECT_EQ(strip[594], kStripNone);
    EXPECT_EQ(strip[605], kStripNone);
    EXPECT_EQ(strip[599], kStripGreen);  // the one-pixel line covers the pixel whose centre 599.5 is nearest
    EXPECT_TRUE(strip[79] == kStripGreen || strip[80] == kStripGreen);  // centre 80, up to rounding
    EXPECT_EQ(std::count(strip.begin(), strip.end(), kStripGreen), 2);
}

TEST(VistraPeakStrip, ZoomPanAndClipping) {
    const std::vector<ImageRecord> peaks = {
        {1, 1, 0, 1, 92, 0, 0.25f, 1},  // rows: 600 x 92 / 3680 = 15 at zoom 1
        {1, 1, 0, 1, 1, 0, 0.99f, 1}};
    // Zoom 2 with pan 0.1: centre 600 x 2 x 0.35 = 420, 30 rows wide; the other line leaves the window.
    const std::vector<uint32_t> strip = BuildPeakStrip(peaks, 0, 1, 600, 600, 2, 0.1f);
    EXPECT_EQ(std::count(strip.begin(), strip.end(), kStripGreen), 30);
    EXPECT_EQ(strip[405], kStripGreen);
    EXPECT_EQ(strip[434], kStripGreen);
    EXPECT_EQ(strip[404], kStripNone);
    EXPECT_EQ(PeakLineWidth(peaks[1], 600, 1), 1.0f);
    EXPECT_TRUE(BuildPeakStrip(peaks, 0, 1, 0, 0, 1, 0).empty());
}

TEST(VistraPeakStrip, ImageRowsOverColumnsOverBackground) {
    const uint32_t back = 0xff000000u;
    std::vector<uint32_t> image = {7, 7};  // grown and overwritten
    BuildPeakImage({kStripNone, kStripRed, kStripGreen}, {kStripNone, kStripGreen}, back, image);
    const std::vector<uint32_t> expected = {back,        kStripRed,   kStripGreen,   // bottom row: columns
                                            kStripGreen, kStripGreen, kStripGreen};  // a lit row
    EXPECT_EQ(image, expected);
}

uint64_t fakeMicroseconds = 0;
uint64_t fakeClock() { return fakeMicroseconds; }

TEST(VistraFrameAgeMeter, MedianOfAPeriodWithoutFramesNotYetComeOrFromAhead) {
    FrameAgeMeter meter;
    EXPECT_FALSE(meter.takeMedianMs());
    meter.sample(10'000, 0);       // no frame received yet
    meter.sample(10'000, 12'000);  // a clock ahead of ours is no reading
    EXPECT_FALSE(meter.takeMedianMs());
    for (int64_t age : {900, 40'000, 1'200, 1'100, 1'000}) meter.sample(100'000, 100'000 - age);
    EXPECT_DOUBLE_EQ(*meter.takeMedianMs(), 1.1);  // one late frame does not move it
    EXPECT_FALSE(meter.takeMedianMs());            // the next period starts empty
}

TEST(VistraFrameRateTexts, RebuiltOncePerSecond) {
    fakeMicroseconds = 0;
    glview::Stopwatch watch(fakeClock);
    FrameRateTexts texts;
    fakeMicroseconds = 992'000;
    texts.frameDone(watch, 990'000, 992'000);
    EXPECT_TRUE(texts.rate.isEmpty());
    fakeMicroseconds = 1'002'000;
    texts.frameDone(watch, 1'000'000, 1'002'000);  // 10 ms after the previous frame, drawn in 2 ms
    EXPECT_EQ(texts.rate.toStdString(), "100.0");
    EXPECT_EQ(texts.info.toStdString(), "fps:  500.0 @  100.0");
    EXPECT_EQ(texts.load.toStdString(), " 0.4");  // 4 ms busy of 1.002 s
    fakeMicroseconds = 1'022'000;
    texts.frameDone(watch, 1'020'000, 1'022'000);
    EXPECT_EQ(texts.rate.toStdString(), "100.0");  // not rebuilt within the second
    texts.disabled();
    EXPECT_EQ(texts.load.toStdString(), "0.0");
}

}  // namespace
