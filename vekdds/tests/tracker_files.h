// Tracker files and scenes for tests and benchmarks, written into a
// temporary folder that goes away with the object.
#pragma once

#include <string>
#include <vector>

#include "scene.h"
#include "temp_dir.h"

namespace vekdds::testing {

// A rigid body file ("LED, x y z" in the body's frame) of a scene's body.
std::string rigidBodyFile(const vekd::Scene& scene, const std::string& body);
// A point file: one LED a line.
std::string pointFile(const std::vector<int>& leds);
// LEDs first to last.
std::vector<int> ledRange(int first, int last);

// The default scene's two bodies (wand.rb, puck.rb) and a point file
// (points.pt) of `pointLeds`.
struct DefaultTrackerFiles {
    explicit DefaultTrackerFiles(const std::vector<int>& pointLeds);
    testsupport::TempDir folder;
    std::string wand, puck, points;
};

}  // namespace vekdds::testing
