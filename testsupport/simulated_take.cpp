#include "simulated_take.h"

#include <cmath>
#include <cstring>

#include "crc32.h"
#include "simulator.h"
#include "take_writer.h"

namespace testsupport {

namespace {

using vekd::FrameData;
using vekd::Quat;

// A wire frame payload of every stream, as a recorder receives it.
std::string payload(int32_t number, double rate, const FrameData& d, bool peakLeds) {
    std::string sections, images;
    std::vector<ImageRecord> scratch;
    if (peakLeds)
        vekd::encodePeaksWithLeds(d, VEK_MAX_IMAGES, scratch, images);
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

// The inverse of zUpToYUp: a y-up pose back in the z-up world.
void poseYUpToZUp(float pose[7]) {
    const float y = pose[1];
    pose[1] = 0.0f - pose[2];
    pose[2] = y;
    const double h = std::sqrt(0.5);
    const Quat q = vekd::normalized(Quat{h, h, 0, 0} * Quat{pose[3], pose[4], pose[5], pose[6]});
    const double values[4] = {q.w, q.x, q.y, q.z};
    for (int i = 0; i < 4; ++i) pose[3 + i] = static_cast<float>(values[i]);
}

void toZUp(FrameData& d) {
    for (MarkerRecord& m : d.markers) {
        const float y = m.y;
        m.y = 0.0f - m.z;
        m.z = y;
    }
    for (RigidRecord& r : d.rigids)
        if (r.cond > 0) poseYUpToZUp(r.pose);
}

}  // namespace

std::string simulatedTake(const vekd::Scene& scene, uint64_t seed, const vekd::TrackerTable& trackers,
                          int frames, double rate, bool peakLeds, bool zUpWorld) {
    vekd::Simulator sim(scene, seed);
    vektake::Session session;
    session.flags = (zUpWorld ? 0 : vektake::kWorldYUp) | (peakLeds ? vektake::kPeaksCarryLeds : 0);
    session.frequency = static_cast<float>(rate);
    std::vector<VEKCamera> cameras = sim.cameras();
    if (zUpWorld)
        for (VEKCamera& c : cameras) poseYUpToZUp(c.pose);
    vektake::Writer writer(session, cameras);
    std::string bytes, why;
    FrameData d;
    for (int f = 1; f <= frames; ++f) {
        sim.generate(f, f / rate, trackers, d);
        if (zUpWorld) toZUp(d);
        const std::string p = payload(f, rate, d, peakLeds);
        const auto* data = reinterpret_cast<const uint8_t*>(p.data());
        vekwire::FrameView view;
        if (vekwire::decodeFrame(data, p.size(), view, why))
            writer.frame(data, p.size(), view, kSimulatedEpochUs + std::llround(f * 1e6 / rate), bytes, why);
    }
    writer.end(bytes);
    return bytes;
}

}  // namespace testsupport

namespace testsupport {

std::string asVersionOne(const std::string& take) {
    using namespace vektake;
    std::string out = take.substr(0, kFileHeaderSize);
    const uint16_t one = 1;
    std::memcpy(&out[8], &one, 2);
    for (size_t at = kFileHeaderSize; at + kRecordHeaderSize <= take.size();) {
        uint32_t length;
        uint16_t kind;
        std::memcpy(&length, &take[at], 4);
        std::memcpy(&kind, &take[at + 4], 2);
        const size_t skip = kind == static_cast<uint16_t>(Kind::Frame) ? kLocalTimeSize : 0;
        std::string record =
            take.substr(at, kRecordHeaderSize) + take.substr(at + kRecordHeaderSize + skip, length - skip);
        const uint32_t shorter = length - static_cast<uint32_t>(skip);
        std::memcpy(&record[0], &shorter, 4);
        const uint32_t crc = crc32(crc32(0, record.data(), 8), record.data() + kRecordHeaderSize, shorter);
        std::memcpy(&record[8], &crc, 4);
        out += record;
        at += kRecordHeaderSize + length;
    }
    return out;
}

}  // namespace testsupport
