// The take file: a session recorded from vekd by vekrec and played back by
// vekd --replay. Little-endian, append-only: a 16-byte file header, then
// records of 12-byte header and payload, each with its length and a CRC-32,
// so that a file cut short anywhere reads back up to its last whole record.
// Layout and rules: docs/take-format.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vek_types.h"
#include "wire.h"

namespace vektake {

constexpr char kMagic[8] = {'V', 'E', 'K', 'T', 'A', 'K', 'E', '\x1a'};
constexpr uint16_t kVersion = 2;          // written; frames carry the recorder's capture time
constexpr uint16_t kOldestVersion = 1;    // still read: frames without it
constexpr size_t kFileHeaderSize = 16;    // magic, u16 version, u16 header size, u32 zero
constexpr size_t kRecordHeaderSize = 12;  // u32 payload length, u16 kind, u16 zero, u32 CRC-32
// Before the wire payload in a frame record from version 2 on.
constexpr size_t kLocalTimeSize = 8;
// A frame record holds one wire frame payload and its capture time, so no
// record is longer.
constexpr size_t kMaxPayload = vekwire::kMaxPayload + kLocalTimeSize;
constexpr size_t kMaxAddress = 256;  // the server as the recorder was given it

enum class Kind : uint16_t {
    Session = 1,  // first: how the take was made
    Cameras = 2,  // second: the camera list with the detectors' fields of view
    Frame = 3,    // one per frame, as the server sent it
    End = 4       // last, written when the recorder finishes
};

// Session flags.
constexpr uint32_t kPeaksCarryLeds = 1;    // peak ids are LED ids: markers can be rebuilt for any tracker
constexpr uint32_t kRecordedAsMaster = 2;  // the recorder was master, with a point tracker on LEDs 0..n-1
// The world's +y axis points up; a take without it holds a z-up world.
constexpr uint32_t kWorldYUp = 4;
constexpr uint32_t kKnownFlags = kPeaksCarryLeds | kRecordedAsMaster | kWorldYUp;

struct Session {
    uint32_t flags = 0;
    int64_t startUnixUs = 0;  // wall clock when recording began
    float frequency = 0;      // the server's frequency then, Hz
    std::string serverName;   // as the server's welcome gave it (at most 64 bytes)
    std::string server;       // the address the recorder connected to
};

struct Camera {
    VEKCamera record;
    uint32_t fov[2] = {0, 0};  // detector 0 (horizontal) and 1 (vertical), millidegrees
};
constexpr size_t kCameraSize = sizeof(VEKCamera) + 8;

struct End {
    uint32_t frames = 0;     // frame records in the take
    uint32_t dropped = 0;    // frames the recorder missed (gaps in frame numbers)
    int64_t durationUs = 0;  // from the first frame's generation time to the last's
};
constexpr size_t kEndSize = 16;

// A frame's capture time on the recorder's clock where it had none it
// could trust (and in every frame of a version-1 take).
constexpr int64_t kNoLocalTime = INT64_MIN;
// ---- writing: append whole pieces to `out` -------------------------------
void appendFileHeader(std::string& out);
void appendSession(std::string& out, const Session& s);
void appendCameras(std::string& out, const std::vector<Camera>& cameras);
// `payload`: a wire frame payload (decodeFrame accepts it); `localTimeUs`:
// its capture time on the recorder's CLOCK_REALTIME, or kNoLocalTime.
void appendFrame(std::string& out, int64_t localTimeUs, const uint8_t* payload, size_t size);
void appendEnd(std::string& out, const End& e);

// ---- reading payloads: false with the reason on anything amiss ------------
bool decodeSession(const uint8_t* p, size_t n, Session& s, std::string& why);
bool decodeCameras(const uint8_t* p, size_t n, std::vector<Camera>& out, std::string& why);
bool decodeEnd(const uint8_t* p, size_t n, End& e, std::string& why);
// A decoded frame's records are fit to serve: finite numbers, peaks and
// detectors of existing cameras and detectors, positions on the detector.
bool checkFrame(const vekwire::FrameView& f, size_t cameraCount, std::string& why);
// Frame numbers rise through a take (a recorder that missed frames leaves gaps).
bool frameFollows(int32_t last, int32_t next, std::string& why);

}  // namespace vektake
