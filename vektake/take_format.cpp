#include "take_format.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "crc32.h"
#include "fields.h"

namespace vektake {

using vekwire::Fields;
using vekwire::put;

namespace {

// Starts a record: its header with room for the checksum. finishRecord
// fills in the length and the checksum once the payload is appended.
size_t startRecord(std::string& out, Kind kind) {
    const size_t at = out.size();
    put<uint32_t>(out, 0);
    put<uint16_t>(out, static_cast<uint16_t>(kind));
    put<uint16_t>(out, 0);
    put<uint32_t>(out, 0);
    return at;
}

void finishRecord(std::string& out, size_t at) {
    const auto length = static_cast<uint32_t>(out.size() - at - kRecordHeaderSize);
    std::memcpy(&out[at], &length, 4);
    uint32_t crc = crc32(0, out.data() + at, 8);
    crc = crc32(crc, out.data() + at + kRecordHeaderSize, length);
    std::memcpy(&out[at + 8], &crc, 4);
}

bool finite(const float* v, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

bool finite(std::initializer_list<float> values) { return finite(values.begin(), values.size()); }

// Records of one stream of a frame, copied out one at a time (the payload
// need not be aligned for them).
template <typename Record, typename Check>
bool eachRecord(const vekwire::FrameView& f, int stream, const char* name, Check check, std::string& why) {
    for (uint32_t i = 0; i < f.count[stream]; ++i) {
        Record r;
        std::memcpy(&r, f.records[stream] + size_t{i} * sizeof r, sizeof r);
        if (const char* bad = check(r)) {
            why = std::string(name) + " " + std::to_string(i) + ": " + bad;
            return false;
        }
    }
    return true;
}

}  // namespace

void appendFileHeader(std::string& out) {
    out.append(kMagic, sizeof kMagic);
    put<uint16_t>(out, kVersion);
    put<uint16_t>(out, static_cast<uint16_t>(kFileHeaderSize));
    put<uint32_t>(out, 0);
}

void appendSession(std::string& out, const Session& s) {
    const size_t at = startRecord(out, Kind::Session);
    put<uint32_t>(out, s.flags);
    put<int64_t>(out, s.startUnixUs);
    put<float>(out, s.frequency);
    vekwire::putText(out, s.serverName, vekwire::kMaxText);
    vekwire::putText(out, s.server, kMaxAddress);
    finishRecord(out, at);
}

void appendCameras(std::string& out, const std::vector<Camera>& cameras) {
    const size_t at = startRecord(out, Kind::Cameras);
    put<uint32_t>(out, static_cast<uint32_t>(cameras.size()));
    for (const Camera& c : cameras) {
        out.append(reinterpret_cast<const char*>(&c.record), sizeof c.record);
        put<uint32_t>(out, c.fov[0]);
        put<uint32_t>(out, c.fov[1]);
    }
    finishRecord(out, at);
}

void appendFrame(std::string& out, int64_t localTimeUs, const uint8_t* payload, size_t size) {
    const size_t at = startRecord(out, Kind::Frame);
    put<int64_t>(out, localTimeUs);
    out.append(reinterpret_cast<const char*>(payload), size);
    finishRecord(out, at);
}

void appendEnd(std::string& out, const End& e) {
    const size_t at = startRecord(out, Kind::End);
    put<uint32_t>(out, e.frames);
    put<uint32_t>(out, e.dropped);
    put<int64_t>(out, e.durationUs);
    finishRecord(out, at);
}

bool decodeSession(const uint8_t* p, size_t n, Session& s, std::string& why) {
    Fields f(p, n);
    s.flags = f.get<uint32_t>();
    s.startUnixUs = f.get<int64_t>();
    s.frequency = f.get<float>();
    if (f.ok() && (s.flags & ~kKnownFlags)) {
        why = "unknown session flags";
        return false;
    }
    if (f.ok() && !(std::isfinite(s.frequency) && s.frequency >= 0)) {
        why = "frequency not a number of Hz";
        return false;
    }
    if (!f.text(s.serverName, vekwire::kMaxText) || !f.text(s.server, kMaxAddress)) {
        why = "bad server name or address";
        return false;
    }
    return f.finish("session record", why);
}

bool decodeCameras(const uint8_t* p, size_t n, std::vector<Camera>& out, std::string& why) {
    Fields f(p, n);
    const uint32_t count = f.get<uint32_t>();
    if (!f.ok() || count > VEK_MAX_CAMERAS || f.left() != size_t{count} * kCameraSize) {
        why = "bad camera list";
        return false;
    }
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        Camera& c = out[i];
        std::memcpy(&c.record, f.here(), sizeof c.record);
        f.skip(sizeof c.record);
        c.fov[0] = f.get<uint32_t>();
        c.fov[1] = f.get<uint32_t>();
        const float* q = c.record.pose + 3;
        const float norm2 = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
        const char* bad = nullptr;
        if (!finite(c.record.pose, 7) || !std::isfinite(c.record.cond))
            bad = "pose not finite";
        else if (!(norm2 > 0.5f && norm2 < 2.0f))
            bad = "orientation not a unit quaternion";
        else
            for (const uint32_t fov : c.fov)
                if (fov < 1000 || fov > 179000) bad = "field of view outside 1 to 179 degrees";
        if (bad) {
            why = "camera " + std::to_string(i) + ": " + bad;
            return false;
        }
    }
    return f.finish("camera record", why);
}

bool decodeEnd(const uint8_t* p, size_t n, End& e, std::string& why) {
    Fields f(p, n);
    e.frames = f.get<uint32_t>();
    e.dropped = f.get<uint32_t>();
    e.durationUs = f.get<int64_t>();
    return f.finish("end record", why);
}

bool frameFollows(int32_t last, int32_t next, std::string& why) {
    if (next > last) return true;
    why = "frame number " + std::to_string(next) + " does not follow " + std::to_string(last);
    return false;
}

bool checkFrame(const vekwire::FrameView& f, size_t cameraCount, std::string& why) {
    if (!(std::isfinite(f.header.frequency) && f.header.frequency >= 0)) {
        why = "frequency not a number of Hz";
        return false;
    }
    const auto onCamera = [cameraCount](int32_t camera, int32_t detector) -> const char* {
        if (camera < 0 || static_cast<size_t>(camera) >= cameraCount) return "no such camera";
        if (detector != 0 && detector != 1) return "no such detector";
        return nullptr;
    };
    return eachRecord<MarkerRecord>(
               f, 0, "marker",
               [](const MarkerRecord& r) {
                   return finite({r.x, r.y, r.z, r.cond}) ? nullptr : "position not finite";
               },
               why) &&
           eachRecord<RigidRecord>(
               f, 1, "rigid",
               [](const RigidRecord& r) {
                   return finite(r.pose, 7) && std::isfinite(r.cond) ? nullptr : "pose not finite";
               },
               why) &&
           eachRecord<ImageRecord>(
               f, 2, "peak",
               [&](const ImageRecord& r) -> const char* {
                   if (const char* bad = onCamera(r.camera, r.detector)) return bad;
                   if (!(r.pos >= 0 && r.pos <= 1) || !std::isfinite(r.amp))
                       return "position off the detector";
                   return nullptr;
               },
               why) &&
           eachRecord<DetectorRecord>(
               f, 3, "detector",
               [&](const DetectorRecord& r) -> const char* {
                   if (const char* bad = onCamera(r.camera, r.detector)) return bad;
                   return finite({r.exposure, r.noise, r.maxAmp}) ? nullptr : "value not finite";
               },
               why);
}

}  // namespace vektake
