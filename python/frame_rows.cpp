#include "frame_rows.h"

namespace vekpy {

namespace {

template <typename Record, typename Row, typename Convert>
void appendRows(const vekwire::FrameView& f, int key, std::vector<Row>& out, Convert convert) {
    const int s = vek_stream_index(key);
    out.reserve(out.size() + f.count[s]);
    for (uint32_t i = 0; i < f.count[s]; ++i) out.push_back(convert(recordAt<Record>(f.records[s], i)));
}

}  // namespace

void appendPeaks(const vekwire::FrameView& f, std::vector<PeakRow>& out) {
    appendRows<ImageRecord>(f, VEK_IMAGES, out, peakRow);
}

void appendDetectors(const vekwire::FrameView& f, std::vector<DetectorRow>& out) {
    appendRows<DetectorRecord>(f, VEK_DETECTORS, out, detectorRow);
}

void fillFrameRows(const vekwire::FrameView& f, const LedMap& leds, FrameRows& out) {
    out.number = f.header.frame;
    out.generatedUs = f.header.generatedUs;
    out.frequency = f.header.frequency;
    appendRows<MarkerRecord>(f, VEK_MARKERS, out.markers, [&](const MarkerRecord& r) {
        const auto led = leds.find(r.id);
        return markerRow(r, led == leds.end() ? -1 : led->second);
    });
    appendRows<RigidRecord>(f, VEK_RIGIDS, out.rigids, rigidRow);
    appendPeaks(f, out.peaks);
    appendDetectors(f, out.detectors);
}

}  // namespace vekpy
