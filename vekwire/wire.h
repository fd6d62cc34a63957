// The vekd wire protocol: message framing, encoders, and a push reader that
// turns bytes into whole messages. No socket code here: the client library
// and the server only move bytes in and out. Layout: docs/protocol.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_buffer.h"
#include "lab_key.h"
#include "vek_types.h"

namespace vekwire {

constexpr uint32_t kMagic = 0x314B4556;  // "VEK1" read as little-endian
// Version 2 added the lab key's challenge and proof; a server still
// serves version 1 clients where no key is needed.
constexpr uint16_t kVersion = 2;
constexpr uint16_t kOldestVersion = 1;
constexpr size_t kHeaderSize = 8;  // u32 length, u16 kind, u16 zero
constexpr size_t kMaxPayload = 128 * 1024;
constexpr size_t kMaxText = 64;  // client labels and server names

enum class Kind : uint16_t {
    Hello = 1,      // client -> server, first message
    Welcome = 2,    // server -> client, answer to Hello
    Request = 3,    // client -> server
    Reply = 4,      // server -> client, one per Request
    Frame = 5,      // server -> client
    Cameras = 6,    // server -> client, the camera list
    Bye = 7,        // either way: the sender closes
    State = 8,      // server -> client: frequency changed
    Challenge = 9,  // server -> client, answer to Hello when a key is needed
    Proof = 10,     // client -> server, answer to Challenge
    Time = 11       // server -> client, answer to a TimeExchange request
};

enum class Op : uint16_t {
    SetInteger = 1,     // key, value
    SetFloat = 2,       // key, f[0]
    TrackerCreate = 3,  // target, key, value
    TrackerOp = 4,      // target, value
    TrackerParam = 5,   // target, key, f[0]
    MarkerInt = 6,      // target, key, value
    MarkerFloat = 7,    // target, key, f[0..2]
    RpdClose = 8,
    TimeExchange = 9  // value: the exchange version; answered by a Time message
};

// The time exchange: the version a client asks for and a server answers.
constexpr uint16_t kTimeExchangeVersion = 1;

// A frame's sections follow its header in stream index order; its mask
// holds the stream bits (VEK_MARKER_BIT ...) of the sections present.
constexpr int kStreamCount = VEK_STREAM_COUNT;
constexpr uint32_t kRecordSize[kStreamCount] = {sizeof(MarkerRecord), sizeof(RigidRecord),
                                                sizeof(ImageRecord), sizeof(DetectorRecord)};
constexpr uint32_t kMaxRecords[kStreamCount] = {VEK_MAX_MARKERS, VEK_MAX_RIGIDS, VEK_MAX_IMAGES,
                                                VEK_MAX_DETECTORS};

struct Hello {
    int32_t flags = 0;
    uint16_t version = kVersion;
    std::string label;
};

// Welcome fact bits: what a client may rely on about the server.
constexpr uint16_t kFrameClockElsewhere = 1;  // frame times are not this host's steady clock

struct Welcome {
    uint16_t version = kVersion;  // the version of the Hello it answers
    uint16_t facts = 0;           // kFrameClockElsewhere ...
    int32_t result = 0;           // 0 admitted, otherwise the refusal code
    uint32_t clientId = 0;
    int32_t flags = 0;  // init flags as recorded
    float frequency = 0;
    std::string name;
};

// Challenge policy bits.
constexpr uint16_t kObserversWithoutKey = 1;  // a slave with an empty proof is admitted

struct Challenge {
    uint16_t policy = 0;
    uint8_t nonce[kNonceBytes] = {};
};

// A proof is kProofBytes of MAC, or nothing from a client without a key.
struct Proof {
    bool present = false;
    uint8_t mac[kProofBytes] = {};
};

struct Request {
    uint32_t seq = 0;
    Op op = Op::SetInteger;
    int32_t target = 0;
    int32_t key = 0;
    int32_t value = 0;
    float f[3] = {0, 0, 0};
};

struct Reply {
    uint32_t seq = 0;
    int32_t code = 0;  // 0 done, else the library error code
    int32_t value = 0;
    float fvalue = 0;
};

// The answer to a time request: when the server read it (t2) and when it
// sent this answer (t3), microseconds of its frame clock.
struct Time {
    uint32_t seq = 0;
    uint16_t version = kTimeExchangeVersion;
    int64_t receivedUs = 0;
    int64_t sentUs = 0;
};

struct FrameHeader {
    int32_t frame = 0;
    int64_t generatedUs = 0;  // server's steady clock, microseconds
    float frequency = 0;
    uint32_t serverDropped = 0;
    uint32_t mask = 0;  // stream bits of the sections that follow
};
constexpr size_t kFrameHeaderSize = 24;

// A decoded frame; sections point into the message payload.
struct FrameView {
    FrameHeader header;
    const uint8_t* records[kStreamCount] = {};
    uint32_t count[kStreamCount] = {};
};

// ---- encoding: append one whole message to `out` ----------------------
void encodeHello(std::string& out, const Hello& m);
void encodeWelcome(std::string& out, const Welcome& m);
void encodeChallenge(std::string& out, const Challenge& m);
void encodeProof(std::string& out, const Proof& m);
void encodeRequest(std::string& out, const Request& m);
void encodeReply(std::string& out, const Reply& m);
void encodeTime(std::string& out, const Time& m);
void encodeBye(std::string& out, int32_t reason);
void encodeState(std::string& out, float frequency);
void encodeCameras(std::string& out, const VEKCamera* cameras, uint32_t count);
// The header of a frame message whose sections (encodeSection) total
// `sectionBytes`; the caller appends the sections right after.
void encodeFrameHeader(std::string& out, const FrameHeader& h, size_t sectionBytes);
// One section: u32 count, then the records.
void encodeSection(std::string& out, const void* records, uint32_t count, uint32_t recordSize);

// ---- decoding a payload; false with a reason on any inconsistency -----
bool decodeHello(const uint8_t* p, size_t n, Hello& m, std::string& error);
bool decodeWelcome(const uint8_t* p, size_t n, Welcome& m, std::string& error);
bool decodeChallenge(const uint8_t* p, size_t n, Challenge& m, std::string& error);
bool decodeProof(const uint8_t* p, size_t n, Proof& m, std::string& error);
bool decodeRequest(const uint8_t* p, size_t n, Request& m, std::string& error);
bool decodeReply(const uint8_t* p, size_t n, Reply& m, std::string& error);
bool decodeTime(const uint8_t* p, size_t n, Time& m, std::string& error);
bool decodeInt(const uint8_t* p, size_t n, int32_t& v, std::string& error);
bool decodeFloat(const uint8_t* p, size_t n, float& v, std::string& error);
bool decodeFrame(const uint8_t* p, size_t n, FrameView& m, std::string& error);
bool decodeCameras(const uint8_t* p, size_t n, std::vector<VEKCamera>& out, std::string& error);

// ---- discovery datagrams (UDP) --------------------------------------
// Query: u32 magic, u16 1, u16 0, label text, zero bytes up to the size of
// the answer, so that no answer is larger than its query. Answer: u32
// magic, u16 2, u16 0, then one scan entry (host[256], description[256],
// both NUL-terminated).
constexpr size_t kScanAnswerSize = 8 + sizeof(VEKScanEntry);
constexpr size_t kScanQuerySize = kScanAnswerSize;
std::string encodeScanQuery(const std::string& label);
// False for anything but a whole query: its exact size, zero reserved
// field and padding.
bool decodeScanQuery(const uint8_t* p, size_t n, std::string& label);
std::string encodeScanAnswer(const VEKScanEntry& entry);
bool decodeScanAnswer(const uint8_t* p, size_t n, VEKScanEntry& entry);

// One whole message as the reader hands it out: the payload stays valid
// until the next call of feed() or next().
struct Message {
    Kind kind = Kind::Hello;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Push parser: feed bytes as they arrive, take whole messages out. Errors
// are sticky: after one, next() keeps answering -1 and error() says why.
class Reader {
public:
    explicit Reader(size_t maxPayload = kMaxPayload) : maxPayload_(maxPayload) {}

    void feed(const void* data, size_t size);
    // Zero-copy feeding: room for at least `size` bytes, then commit what
    // was written there.
    uint8_t* prepare(size_t size);
    void commit(size_t size);
    // 1: `m` holds a message; 0: more bytes needed; -1: the stream is broken.
    int next(Message& m);

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    size_t buffered() const { return bytes_.size(); }
    void reset();

private:
    int fail(std::string why);

    size_t maxPayload_;
    ByteBuffer bytes_;
    std::string error_;
};

}  // namespace vekwire
