// The texts the 3D scene and its overlay show, built without GL.
#pragma once

#include <string>
#include <vector>

#include "mouse_state.h"
#include "view_camera.h"

namespace glview {

// The marker's label (vektk::MarkerLabel: "t:n" with two or more trackers,
// "n" with fewer), then " (name)" when it has a name.
std::string markerLabelText(int id, const std::string& name, int trackerCount);
// The information line of the item under the pointer: "TT:NN  [ x y z cond ]"
// with TT the tracker number plus one, positions divided by the session scale.
std::string itemInfoText(int id, const Vec3f& position, float condition, float sessionScale);
// "WARNING: n uncalibrated cameras detected: a, b, ..." for camera numbers
// counted from 1; past the eighth number the list stops with "...".
std::string cameraWarningText(const std::vector<int>& cameraNumbers);
// A measurement mark in session units, with the distance to the previous
// mark when there is one and it is not zero.
std::string markText(const Vec3f& point, const Vec3f* previous, float sessionScale);
// Pointer position, the five button bits and the modifiers in hexadecimal.
std::string mouseInfoText(const MouseState& state);
// "1m", "2m", ... for the grid's labels.
std::vector<std::string> gridLabels(int gridLines, const std::string& unit);

}  // namespace glview
