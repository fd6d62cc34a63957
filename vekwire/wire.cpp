#include "wire.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "fields.h"

namespace vekwire {

static_assert(std::endian::native == std::endian::little,
              "the wire format is little-endian and records are copied as they are");

namespace {

void putHeader(std::string& out, Kind kind, size_t payload) {
    put<uint32_t>(out, static_cast<uint32_t>(payload));
    put<uint16_t>(out, static_cast<uint16_t>(kind));
    put<uint16_t>(out, 0);
}

}  // namespace

void encodeHello(std::string& out, const Hello& m) {
    putHeader(out, Kind::Hello, 14 + std::min(m.label.size(), kMaxText));
    put<uint32_t>(out, kMagic);
    put<uint16_t>(out, m.version);
    put<uint16_t>(out, 0);
    put<int32_t>(out, m.flags);
    putText(out, m.label, kMaxText);
}

void encodeWelcome(std::string& out, const Welcome& m) {
    putHeader(out, Kind::Welcome, 26 + std::min(m.name.size(), kMaxText));
    put<uint32_t>(out, kMagic);
    put<uint16_t>(out, m.version);
    put<uint16_t>(out, m.facts);
    put<int32_t>(out, m.result);
    put<uint32_t>(out, m.clientId);
    put<int32_t>(out, m.flags);
    put<float>(out, m.frequency);
    putText(out, m.name, kMaxText);
}

void encodeChallenge(std::string& out, const Challenge& m) {
    putHeader(out, Kind::Challenge, 8 + kNonceBytes);
    put<uint32_t>(out, kMagic);
    put<uint16_t>(out, kVersion);
    put<uint16_t>(out, m.policy);
    out.append(reinterpret_cast<const char*>(m.nonce), kNonceBytes);
}

void encodeProof(std::string& out, const Proof& m) {
    putHeader(out, Kind::Proof, m.present ? kProofBytes : 0);
    if (m.present) out.append(reinterpret_cast<const char*>(m.mac), kProofBytes);
}

void encodeRequest(std::string& out, const Request& m) {
    putHeader(out, Kind::Request, 32);
    put<uint32_t>(out, m.seq);
    put<uint16_t>(out, static_cast<uint16_t>(m.op));
    put<uint16_t>(out, 0);
    put<int32_t>(out, m.target);
    put<int32_t>(out, m.key);
    put<int32_t>(out, m.value);
    for (float f : m.f) put<float>(out, f);
}

void encodeReply(std::string& out, const Reply& m) {
    putHeader(out, Kind::Reply, 16);
    put<uint32_t>(out, m.seq);
    put<int32_t>(out, m.code);
    put<int32_t>(out, m.value);
    put<float>(out, m.fvalue);
}

void encodeTime(std::string& out, const Time& m) {
    putHeader(out, Kind::Time, 24);
    put<uint32_t>(out, m.seq);
    put<uint16_t>(out, m.version);
    put<uint16_t>(out, 0);
    put<int64_t>(out, m.receivedUs);
    put<int64_t>(out, m.sentUs);
}

void encodeBye(std::string& out, int32_t reason) {
    putHeader(out, Kind::Bye, 4);
    put<int32_t>(out, reason);
}

void encodeState(std::string& out, float frequency) {
    putHeader(out, Kind::State, 4);
    put<float>(out, frequency);
}

void encodeCameras(std::string& out, const VEKCamera* cameras, uint32_t count) {
    putHeader(out, Kind::Cameras, 4 + size_t{count} * sizeof(VEKCamera));
    encodeSection(out, cameras, count, sizeof(VEKCamera));
}

void encodeFrameHeader(std::string& out, const FrameHeader& h, size_t sectionBytes) {
    putHeader(out, Kind::Frame, kFrameHeaderSize + sectionBytes);
    put<int32_t>(out, h.frame);
    put<int64_t>(out, h.generatedUs);
    put<float>(out, h.frequency);
    put<uint32_t>(out, h.serverDropped);
    put<uint32_t>(out, h.mask);
}

void encodeSection(std::string& out, const void* records, uint32_t count, uint32_t recordSize) {
    put<uint32_t>(out, count);
    out.append(static_cast<const char*>(records), size_t{count} * recordSize);
}

bool decodeHello(const uint8_t* p, size_t n, Hello& m, std::string& error) {
    Fields f(p, n);
    const uint32_t magic = f.get<uint32_t>();
    m.version = f.get<uint16_t>();
    f.get<uint16_t>();
    m.flags = f.get<int32_t>();
    if (f.ok() && magic != kMagic) {
        error = "not a vek client";
        return false;
    }
    if (!f.text(m.label, kMaxText)) {
        error = "bad client label";
        return false;
    }
    return f.finish("hello", error);
}

bool decodeWelcome(const uint8_t* p, size_t n, Welcome& m, std::string& error) {
    Fields f(p, n);
    const uint32_t magic = f.get<uint32_t>();
    m.version = f.get<uint16_t>();
    m.facts = f.get<uint16_t>();
    m.result = f.get<int32_t>();
    m.clientId = f.get<uint32_t>();
    m.flags = f.get<int32_t>();
    m.frequency = f.get<float>();
    if (f.ok() && (magic != kMagic || m.version < kOldestVersion || m.version > kVersion)) {
        error = "not a vekd server of this protocol version";
        return false;
    }
    if (!f.text(m.name, kMaxText)) {
        error = "bad server name";
        return false;
    }
    return f.finish("welcome", error);
}

bool decodeChallenge(const uint8_t* p, size_t n, Challenge& m, std::string& error) {
    Fields f(p, n);
    const uint32_t magic = f.get<uint32_t>();
    const uint16_t version = f.get<uint16_t>();
    m.policy = f.get<uint16_t>();
    if (f.ok() && (magic != kMagic || version != kVersion)) {
        error = "not a vekd server of this protocol version";
        return false;
    }
    if (f.ok() && f.left() >= kNonceBytes) {
        std::memcpy(m.nonce, f.here(), kNonceBytes);
        f.skip(kNonceBytes);
    } else if (f.ok()) {
        error = "truncated challenge";
        return false;
    }
    return f.finish("challenge", error);
}

bool decodeProof(const uint8_t* p, size_t n, Proof& m, std::string& error) {
    m.present = n == kProofBytes;
    if (n != 0 && n != kProofBytes) {
        error = "a proof is " + std::to_string(kProofBytes) + " bytes or none";
        return false;
    }
    if (m.present) std::memcpy(m.mac, p, kProofBytes);
    return true;
}

bool decodeRequest(const uint8_t* p, size_t n, Request& m, std::string& error) {
    Fields f(p, n);
    m.seq = f.get<uint32_t>();
    m.op = static_cast<Op>(f.get<uint16_t>());
    f.get<uint16_t>();
    m.target = f.get<int32_t>();
    m.key = f.get<int32_t>();
    m.value = f.get<int32_t>();
    for (float& v : m.f) v = f.get<float>();
    return f.finish("request", error);
}

bool decodeReply(const uint8_t* p, size_t n, Reply& m, std::string& error) {
    Fields f(p, n);
    m.seq = f.get<uint32_t>();
    m.code = f.get<int32_t>();
    m.value = f.get<int32_t>();
    m.fvalue = f.get<float>();
    return f.finish("reply", error);
}

bool decodeTime(const uint8_t* p, size_t n, Time& m, std::string& error) {
    Fields f(p, n);
    m.seq = f.get<uint32_t>();
    m.version = f.get<uint16_t>();
    const uint16_t zero = f.get<uint16_t>();
    m.receivedUs = f.get<int64_t>();
    m.sentUs = f.get<int64_t>();
    if (f.ok() && (m.version != kTimeExchangeVersion || zero != 0 || m.sentUs < m.receivedUs)) {
        error = "a time answer of an unknown version or with its times reversed";
        return false;
    }
    return f.finish("time answer", error);
}

bool decodeInt(const uint8_t* p, size_t n, int32_t& v, std::string& error) {
    Fields f(p, n);
    v = f.get<int32_t>();
    return f.finish("message", error);
}

bool decodeFloat(const uint8_t* p, size_t n, float& v, std::string& error) {
    Fields f(p, n);
    v = f.get<float>();
    if (f.ok() && !std::isfinite(v)) {
        error = "frequency not finite";
        return false;
    }
    return f.finish("message", error);
}

bool decodeFrame(const uint8_t* p, size_t n, FrameView& m, std::string& error) {
    Fields f(p, n);
    m = FrameView{};
    m.header.frame = f.get<int32_t>();
    m.header.generatedUs = f.get<int64_t>();
    m.header.frequency = f.get<float>();
    m.header.serverDropped = f.get<uint32_t>();
    m.header.mask = f.get<uint32_t>();
    if (!f.ok()) {
        error = "truncated frame header";
        return false;
    }
    constexpr uint32_t kAllStreams = (1u << kStreamCount) - 1;
    if (m.header.mask & ~kAllStreams) {
        error = "unknown stream in frame";
        return false;
    }
    for (int s = 0; s < kStreamCount; ++s) {
        if (!(m.header.mask & vek_stream_bit(s))) continue;
        const uint32_t count = f.get<uint32_t>();
        if (!f.ok()) break;
        if (count > kMaxRecords[s]) {
            error = "too many records in frame";
            return false;
        }
        const size_t bytes = size_t{count} * kRecordSize[s];
        if (f.left() < bytes) {
            error = "truncated frame section";
            return false;
        }
        m.records[s] = f.here();
        m.count[s] = count;
        f.skip(bytes);
    }
    return f.finish("frame", error);
}

bool decodeCameras(const uint8_t* p, size_t n, std::vector<VEKCamera>& out, std::string& error) {
    Fields f(p, n);
    const uint32_t count = f.get<uint32_t>();
    if (f.ok() && (count > VEK_MAX_CAMERAS || f.left() != size_t{count} * sizeof(VEKCamera))) {
        error = "bad camera list";
        return false;
    }
    if (!f.ok()) return f.finish("camera list", error);
    out.resize(count);
    if (count) std::memcpy(out.data(), f.here(), size_t{count} * sizeof(VEKCamera));
    return true;
}

std::string encodeScanQuery(const std::string& label) {
    std::string out;
    put<uint32_t>(out, kMagic);
    put<uint16_t>(out, 1);
    put<uint16_t>(out, 0);
    putText(out, label, kMaxText);
    out.resize(kScanQuerySize, '\0');
    return out;
}

bool decodeScanQuery(const uint8_t* p, size_t n, std::string& label) {
    if (n != kScanQuerySize) return false;
    Fields f(p, n);
    const uint32_t magic = f.get<uint32_t>();
    const uint16_t kind = f.get<uint16_t>();
    const uint16_t zero = f.get<uint16_t>();
    if (magic != kMagic || kind != 1 || zero != 0 || !f.text(label, kMaxText)) return false;
    const uint8_t* padding = f.here();
    return std::all_of(padding, padding + f.left(), [](uint8_t b) { return b == 0; });
}

std::string encodeScanAnswer(const VEKScanEntry& entry) {
    std::string out;
    put<uint32_t>(out, kMagic);
    put<uint16_t>(out, 2);
    put<uint16_t>(out, 0);
    out.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    return out;
}

bool decodeScanAnswer(const uint8_t* p, size_t n, VEKScanEntry& entry) {
    Fields f(p, n);
    const uint32_t magic = f.get<uint32_t>();
    const uint16_t kind = f.get<uint16_t>();
    f.get<uint16_t>();
    if (!f.ok() || magic != kMagic || kind != 2 || f.left() != sizeof entry) return false;
    std::memcpy(&entry, f.here(), sizeof entry);
    return std::memchr(entry.host, 0, sizeof entry.host) &&
           std::memchr(entry.description, 0, sizeof entry.description);
}

// ---- Reader -------------------------------------------------------------

void Reader::feed(const void* data, size_t size) {
    if (!failed()) bytes_.append(data, size);
}

uint8_t* Reader::prepare(size_t size) { return bytes_.prepare(size); }

void Reader::commit(size_t size) {
    if (!failed()) bytes_.commit(size);
}

int Reader::fail(std::string why) {
    error_ = std::move(why);
    bytes_.clear();
    return -1;
}

int Reader::next(Message& m) {
    if (failed()) return -1;
    if (buffered() < kHeaderSize) return 0;
    const uint8_t* h = bytes_.data();
    uint32_t length;
    uint16_t kind, zero;
    std::memcpy(&length, h, 4);
    std::memcpy(&kind, h + 4, 2);
    std::memcpy(&zero, h + 6, 2);
    if (zero != 0 || kind < static_cast<uint16_t>(Kind::Hello) || kind > static_cast<uint16_t>(Kind::Time))
        return fail("unknown message kind " + std::to_string(kind));
    if (length > maxPayload_)
        return fail("message of " + std::to_string(length) + " bytes exceeds the limit");
    if (buffered() < kHeaderSize + length) return 0;
    m.kind = static_cast<Kind>(kind);
    m.data = h + kHeaderSize;
    m.size = length;
    bytes_.consume(kHeaderSize + length);
    return 1;
}

void Reader::reset() {
    bytes_.clear();
    error_.clear();
}

}  // namespace vekwire
