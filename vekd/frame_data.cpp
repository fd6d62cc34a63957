#include "frame_data.h"

#include <algorithm>

#include "wire.h"

namespace vekd {

void FrameData::clear() {
    markers.clear();
    rigids.clear();
    images.clear();
    detectors.clear();
    imageLeds.clear();
}

void encodePeaksWithLeds(const FrameData& frame, uint32_t maxRecords, std::vector<ImageRecord>& scratch,
                         std::string& out) {
    const size_t n = std::min<size_t>(frame.images.size(), maxRecords);
    scratch.assign(frame.images.begin(), frame.images.begin() + static_cast<std::ptrdiff_t>(n));
    for (size_t i = 0; i < n; ++i) scratch[i].id = i < frame.imageLeds.size() ? frame.imageLeds[i] : -1;
    out.clear();
    vekwire::encodeSection(out, scratch.data(), static_cast<uint32_t>(n), sizeof(ImageRecord));
}

}  // namespace vekd
