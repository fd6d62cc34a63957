// Hit records of the selection pass and the texts of the 3D scene, without GL.
#include <gtest/gtest.h>

#include "pick_name.h"
#include "scene_texts.h"
#include "vek_types.h"

namespace {

using glview::PickName;

TEST(GlViewHitRecords, TwoNamesPerHitNearestFirstOnATieAndTruncatedRecordsEndTheReading) {
    // count, min depth, max depth, names...
    const GLuint buffer[] = {1, 5,  9,  0,                        // the base name alone: no item
                             2, 70, 80, 1, vek_marker_id(17, 3),  // a marker of tracker 17, id above 16 bits
                             2, 40, 90, 3, 2,                     // a camera, nearest
                             2, 40, 41, 2, 7,  // a rigid at the same depth: the camera stays nearest
                             2, 10, 11, 1};    // cut short by the buffer's end
    int nearest = -2;
    const auto names = glview::readHitRecords(buffer, std::size(buffer), 5, nearest);
    EXPECT_EQ(names, (std::vector<PickName>{{1, vek_marker_id(17, 3)}, {3, 2}, {2, 7}}));
    EXPECT_EQ(nearest, 1);
    EXPECT_TRUE(glview::readHitRecords(buffer, std::size(buffer), 0, nearest).empty());
    EXPECT_EQ(nearest, -1);
}

TEST(GlViewSceneTexts, MarksMouseReadOutAndWarningCut) {
    const glview::Vec3f a{0.001f, 0.002f, 0.003f}, b{0.004f, 0.006f, 0.003f};
    EXPECT_EQ(glview::markText(a, nullptr, 0.001f), "1.00 2.00 3.00");
    EXPECT_EQ(glview::markText(b, &a, 0.001f), "4.00 6.00 3.00 (d:5.00)");
    EXPECT_EQ(glview::markText(a, &a, 0.001f), "1.00 2.00 3.00");
    glview::MouseState state{12, 345, 0, 0, glview::kLeftButton | glview::kWheelBackward, 0, glview::kCtrl};
    EXPECT_EQ(glview::mouseInfoText(state), "  12  345 [10001]  2");
    EXPECT_EQ(glview::cameraWarningText({2, 5}), "WARNING: 2 uncalibrated cameras detected: 2, 5");
    EXPECT_EQ(glview::cameraWarningText({1, 2, 3, 4, 5, 6, 7, 8}),
              "WARNING: 8 uncalibrated cameras detected: 1, 2, 3, 4, 5, 6, 7, 8");
    EXPECT_EQ(glview::markerLabelText(vek_marker_id(3, 5), "", 2), "3:5");
    EXPECT_EQ(glview::itemInfoText(vek_marker_id(1, 2), {1, 0, 0}, 12.5f, 0.001f),
              "02:02  [ 1000.0  0.0  0.0  12.5 ]");
}

}  // namespace
