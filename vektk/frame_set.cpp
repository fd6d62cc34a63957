#include "frame_set.h"

namespace vektk {

bool FrameSet::Accept(int f, int bit) {
    if (frame != -1 && frame != f) return false;
    frame = f;
    mask |= bit;
    return true;
}

void FrameSet::Clear() {
    mask = 0;
    frame = -1;
    markers.clear();
    rigids.clear();
    images.clear();
    detectors.clear();
}

}  // namespace vektk
