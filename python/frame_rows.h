// One frame as rows, ready to become NumPy arrays: what a live session
// hands over, and the helpers that turn a decoded frame's sections into
// rows. No Python here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "records.h"
#include "wire.h"

namespace vekpy {

// LED of each marker id, for the trackers a session defined.
using LedMap = std::unordered_map<int32_t, int>;

struct FrameRows {
    int32_t number = 0;
    int64_t generatedUs = 0;  // the server's steady clock
    // The same moment on this machine's CLOCK_MONOTONIC, when the library's
    // estimate of the server's clock can be trusted.
    std::optional<int64_t> localUs;
    float frequency = 0;
    int64_t dropped = 0;  // frames lost between the previous frame handed out and this one
    std::vector<MarkerRow> markers;
    std::vector<RigidRow> rigids;
    std::vector<PeakRow> peaks;
    std::vector<DetectorRow> detectors;
    std::shared_ptr<const std::vector<CameraRow>> cameras;  // the camera list when the frame came
};

// The frame's header and sections as rows (markers not in `leds` get -1).
void fillFrameRows(const vekwire::FrameView& f, const LedMap& leds, FrameRows& out);
void appendPeaks(const vekwire::FrameView& f, std::vector<PeakRow>& out);
void appendDetectors(const vekwire::FrameView& f, std::vector<DetectorRow>& out);

}  // namespace vekpy
