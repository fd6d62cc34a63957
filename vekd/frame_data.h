// The records of one frame, as a frame source fills them and the server
// sends them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vek_types.h"

namespace vekd {

struct FrameData {
    std::vector<MarkerRecord> markers;
    std::vector<RigidRecord> rigids;
    std::vector<ImageRecord> images;
    std::vector<DetectorRecord> detectors;
    // The LED id of every peak in `images` (-1 when unknown), for the
    // clients that ask for peaks labelled by LED (VEK_PEAK_LEDS).
    std::vector<int32_t> imageLeds;
    void clear();
};

// The image section of `frame` as a client with VEK_PEAK_LEDS gets it:
// every peak's id replaced by its LED id. `scratch` keeps its capacity.
void encodePeaksWithLeds(const FrameData& frame, uint32_t maxRecords, std::vector<ImageRecord>& scratch,
                         std::string& out);

}  // namespace vekd
