#include "output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

using namespace snapwell;
using numerics::CaptureRecord;

namespace {

std::vector<CaptureRecord> records() {
    return {{1.5, 2.25, -3, 0.9, 12},  // settled with frame count 10
            {11.5, 2.25, 7, 0.0, 3},
            {0, 0, 0, 0, 0},
            {4.5, 6.25, 0, 1.1, 11}};
}

std::vector<MarkerRecord> markers() {
    return {{vek_marker_id(0, 0), 1, 0, 0, 0, 1, 0},
            {vek_marker_id(0, 1), 1, 0, 0, 0, 1, 0},
            {vek_marker_id(0, 2), 1, 0, 0, 0, -1, 0},
            {vek_marker_id(1, 0), 1, 0, 0, 0, 1, 0}};
}

}  // namespace

TEST(SnapwellOutput, ProgressLineIsRewrittenInPlace) {
    std::ostringstream out;
    printProgress(out, records(), 10, 6);
    EXPECT_EQ(out.str(), "markers captured: ok 3 0 ok  out of 6   \r");
    EXPECT_EQ(countSettled(records(), 10), 2);
    EXPECT_EQ(countSettled(records(), 11), 1);
}

TEST(SnapwellOutput, VerboseReportLeavesPrecisionFive) {
    std::ostringstream out;
    out << std::fixed;
    const auto all = records();
    printReport(out, {all.begin(), all.begin() + 3});
    EXPECT_EQ(out.str(),
              "LED : Position =     1.500000    2.250000   -3.000000   Updated       12"
              "   Approximate jitter estimate: 0.07500\n"
              "LED : Position =     11.50000     2.25000     7.00000   Updated        3"
              "   Approximate jitter estimate: 0.00000\n"
              "LED : Position =      0.00000     0.00000     0.00000   Updated        0"
              "   Approximate jitter estimate: 0.00000\n"
              "\n");
    EXPECT_EQ(out.precision(), 5);
}

TEST(SnapwellOutput, BodyLinesRelativeToTheFirstRecord) {
    std::ostringstream file;
    writeBody(file, records(), markers(), 10, false);
    EXPECT_EQ(file.str(), "0, 0 0 0\n0, 3 4 3\n");

    std::ostringstream fixed;
    fixed << std::fixed << std::setprecision(5);
    writeBody(fixed, records(), markers(), 10, true);
    EXPECT_EQ(fixed.str(), "0, 1.50000 2.25000 -3.00000\n0, 4.50000 6.25000 0.00000\n");

    std::ostringstream general;
    std::vector<CaptureRecord> precise = {{0, 0, 0, 0, 20}, {123.456789, -0.000123456, 1e-7, 0, 20}};
    writeBody(general, precise, markers(), 10, false);
    EXPECT_EQ(general.str(), "0, 0 0 0\n1, 123.457 -0.000123456 1e-07\n");
}

TEST(SnapwellOutput, EmptyOrDegenerateBodiesAreRefused) {
    const std::vector<CaptureRecord> body = {{0, 0, 0, 0, 11}, {40, 0, 0, 0, 11}, {0, 30, 0, 0, 11}};
    EXPECT_EQ(unusableBody(body, 10, 0.05), "");
    EXPECT_EQ(unusableBody(records(), 20, 0.05), "no marker was captured");
    EXPECT_EQ(unusableBody({}, 10, 0.05), "no marker was captured");
    EXPECT_EQ(unusableBody({{0, 0, 0, 0, 11}, {6e38, 0, 0, 0, 11}}, 10, 0.05),
              "a captured position is not a plausible number (" + std::to_string(6e38) + ")");
    EXPECT_NE(unusableBody({{0, 0, 0, 0, 11}, {0, NAN, 0, 0, 11}}, 10, 0.05), "");

    // A frame takes three markers that span a plane, at the capture's own
    // noise level: markers 0.04 mm apart with 0.03 mm of noise are one point.
    EXPECT_EQ(
        unusableBody({{0, 0, 0, 0, 11}, {0.03, 0.02, 0, 0, 11}, {0, 0.04, 0.01, 0, 11}, {0, 0, 0, 0, 3}}, 10,
                     0.03),
        "all captured markers are at one point to within 0.150 mm (5 times the capture's noise)");
    EXPECT_EQ(unusableBody({{0, 0, 0, 0, 11}, {0, 0, 0, 0, 11}}, 10, 0),
              "all captured markers are at one point to within 0.005 mm (5 times the capture's noise)");
    EXPECT_EQ(unusableBody({{1, 2, 3, 0, 11}}, 10, 0.05),
              "1 captured marker cannot define a body frame: it takes three that span a plane");
    EXPECT_EQ(unusableBody(records(), 10, 0.05),
              "2 captured markers cannot define a body frame: it takes three that span a plane");
    const std::vector<CaptureRecord> line = {{0, 0, 0, 0, 11}, {100, 0, 0, 0, 11}, {50, 0.2, 0, 0, 11}};
    EXPECT_EQ(unusableBody(line, 10, 0.05),
              "all captured markers are on one line to within 0.250 mm (5 times the capture's noise)");
    EXPECT_EQ(unusableBody(line, 10, 0.03), "");  // 0.2 mm off the line is a plane at 0.03 mm of noise
}
