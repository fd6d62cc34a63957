// One frame being collected from the library's separate streams.
#pragma once

#include <veksock.h>

#include <vector>

namespace vektk {

// Stream bits of FrameSet::mask.
constexpr int kMarkerBit = 1;
constexpr int kRigidBit = 2;
constexpr int kImageBit = 4;
constexpr int kDetectorBit = 8;

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
