#include "simulated_take.h"

#include "simulator.h"
#include "take_writer.h"

namespace vekd::testing {

namespace {

// A wire frame payload of every stream, as a recorder receives it.
std::string payload(int32_t number, double rate, const FrameData& d, bool peakLeds) {
    std::string sections, images;
    std::vector<ImageRecord> scratch;
    if (peakLeds)
        encodePeaksWithLeds(d, VEK_MAX_IMAGES, scratch, images);
    else
        vekwire::encodeSection(images, d.images.data(), static_cast<uint32_t>(d.images.size()),
                               sizeof(ImageRecord));
    vekwire::encodeSection(sections, d.markers.data(), static_cast<uint32_t>(d.markers.size()),
                           sizeof(MarkerRecord));
    vekwire::encodeSection(sections, d.rigids.data(), static_cast<uint32_t>(d.rigids.size()),
                           sizeof(RigidRecord));
    sections += images;
    vekwire::encodeSection(sections, d.detectors.data(), static_cast<uint32_t>(d.detectors.size()),
                           sizeof(DetectorRecord));
    vekwire::FrameHeader h;
    h.frame = number;
    h.generatedUs = 5000000 + static_cast<int64_t>(number * 1e6 / rate);
    h.frequency = static_cast<float>(rate);
    h.mask = VEK_MARKER_BIT | VEK_RIGID_BIT | VEK_IMAGE_BIT | VEK_DETECTOR_BIT;
    std::string message;
    vekwire::encodeFrameHeader(message, h, sections.size());
    return message.substr(vekwire::kHeaderSize) + sections;
}

}  // namespace

std::string simulatedTake(const Scene& scene, uint64_t seed, const TrackerTable& trackers, int frames,
                          double rate, bool peakLeds) {
    Simulator sim(scene, seed);
    vektake::Session session;
    session.flags = peakLeds ? vektake::kPeaksCarryLeds : 0;
    session.frequency = static_cast<float>(rate);
    vektake::Writer writer(session, sim.cameras());
    std::string bytes, why;
    FrameData d;
    for (int f = 1; f <= frames; ++f) {
        sim.generate(f, f / rate, trackers, d);
        const std::string p = payload(f, rate, d, peakLeds);
        const auto* data = reinterpret_cast<const uint8_t*>(p.data());
        vekwire::FrameView view;
        if (vekwire::decodeFrame(data, p.size(), view, why)) writer.frame(data, p.size(), view, bytes, why);
    }
    writer.end(bytes);
    return bytes;
}

}  // namespace vekd::testing
