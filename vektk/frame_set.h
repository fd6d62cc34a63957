// One frame being collected from the library's separate streams.
#pragma once

#include <veksock.h>

#include <vector>

namespace vektk {

// Stream bits of FrameSet::mask: those of the library.
constexpr int kMarkerBit = VEK_MARKER_BIT;
constexpr int kRigidBit = VEK_RIGID_BIT;
constexpr int kImageBit = VEK_IMAGE_BIT;
constexpr int kDetectorBit = VEK_DETECTOR_BIT;

class FrameSet {
public:
    virtual ~FrameSet() = default;
    // Takes stream `bit` of frame `frame` when this set holds no frame yet
    // or that same frame.
    bool Accept(int frame, int bit);
    virtual void Clear();

    int mask = 0;
    int frame = -1;
    std::vector<MarkerRecord> markers;
    std::vector<RigidRecord> rigids;
    std::vector<ImageRecord> images;
    std::vector<DetectorRecord> detectors;
};

}  // namespace vektk
