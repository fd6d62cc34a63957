#include "scene_texts.h"

#include <cmath>
#include <cstdio>

#include "tracker.h"

namespace glview {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

}  // namespace

std::string markerLabelText(int id, const std::string& name, int trackerCount) {
    const std::string label = vektk::MarkerLabel(id, trackerCount);
    return name.empty() ? label : label + " (" + name + ")";
}

std::string itemInfoText(int id, const Vec3f& position, float condition, float sessionScale) {
    return format("%02X:%02X  [% 4.1f % 4.1f % 4.1f % 4.1f ]",
                  static_cast<unsigned>(vek_marker_tracker(id) + 1),
                  static_cast<unsigned>(vek_marker_index(id)), position[0] / sessionScale,
                  position[1] / sessionScale, position[2] / sessionScale, condition);
}

std::string cameraWarningText(const std::vector<int>& cameraNumbers) {
    constexpr std::size_t kListed = 8;
    std::string text =
        "WARNING: " + std::to_string(cameraNumbers.size()) + " uncalibrated cameras detected: ";
    for (std::size_t i = 0; i < cameraNumbers.size(); ++i) {
        text += std::to_string(cameraNumbers[i]);
        if (i + 1 < cameraNumbers.size()) text += ", ";
        if (i + 1 == kListed && i + 1 < cameraNumbers.size()) {
            text += "...";
            break;
        }
    }
    return text;
}

std::string markText(const Vec3f& point, const Vec3f* previous, float sessionScale) {
    const float x = point[0] / sessionScale, y = point[1] / sessionScale, z = point[2] / sessionScale;
    if (previous) {
        const float distance =
            std::sqrt(std::pow(point[0] - (*previous)[0], 2.0f) + std::pow(point[1] - (*previous)[1], 2.0f) +
                      std::pow(point[2] - (*previous)[2], 2.0f)) /
            sessionScale;
        if (distance != 0) return format("%.2f %.2f %.2f (d:%.2f)", x, y, z, distance);
    }
    return format("%.2f %.2f %.2f", x, y, z);
}

std::string mouseInfoText(const MouseState& state) {
    std::string bits;
    for (int b = 0; b < 5; ++b) bits += (state.buttons >> b) & 1 ? '1' : '0';
    return format("%4d %4d [%s]  %x", state.x, state.y, bits.c_str(), static_cast<unsigned>(state.modifiers));
}

std::vector<std::string> gridLabels(int gridLines, const std::string& unit) {
    std::vector<std::string> labels;
    for (int i = 1; i <= gridLines / 2; ++i) labels.push_back(std::to_string(i) + unit);
    return labels;
}

}  // namespace glview
