#include "take_reader.h"

#include <algorithm>
#include <cstring>

#include "crc32.h"

namespace vektake {

void Reader::feed(const void* data, size_t size) {
    if (!failed()) bytes_.append(data, size);
}

uint8_t* Reader::prepare(size_t size) { return bytes_.prepare(size); }

void Reader::commit(size_t size) {
    if (!failed()) bytes_.commit(size);
}

void Reader::reset() { *this = Reader(); }

int Reader::fail(const std::string& where, const std::string& why) {
    error_ = "byte " + std::to_string(offset_) + (where.empty() ? "" : " (" + where + ")") + ": " + why;
    bytes_.clear();
    return -1;
}

std::string Reader::place(uint16_t kind) const {
    switch (static_cast<Kind>(kind)) {
        case Kind::Session:
            return "session record";
        case Kind::Cameras:
            return "camera record";
        case Kind::Frame:
            return "frame " + std::to_string(frames_ + 1);
        case Kind::End:
            return "end record";
    }
    return stage_ == Stage::Frames ? "after frame " + std::to_string(frames_) : "";
}

int Reader::readFileHeader() {
    const size_t have = bytes_.size();
    const uint8_t* h = bytes_.data();
    if (std::memcmp(h, kMagic, std::min(have, sizeof kMagic)) != 0) return fail("", "not a take file");
    if (have < kFileHeaderSize) return 0;
    uint16_t version, size;
    uint32_t zero;
    std::memcpy(&version, h + 8, 2);
    std::memcpy(&size, h + 10, 2);
    std::memcpy(&zero, h + 12, 4);
    if (version < kOldestVersion || version > kVersion)
        return fail("", "take format version " + std::to_string(version) + "; this program reads versions " +
                            std::to_string(kOldestVersion) + " to " + std::to_string(kVersion));
    if (size != kFileHeaderSize || zero != 0) return fail("", "damaged file header");
    version_ = version;
    bytes_.consume(kFileHeaderSize);
    offset_ += kFileHeaderSize;
    stage_ = Stage::Session;
    return 1;
}

int Reader::next(Item& item) {
    if (failed()) return -1;
    if (stage_ == Stage::FileHeader) {
        if (bytes_.size() == 0) return 0;
        if (const int r = readFileHeader(); r <= 0) return r;
    }
    const size_t have = bytes_.size();
    if (have == 0) return 0;
    if (stage_ == Stage::Ended) return fail("", "bytes after the end record");
    if (have < kRecordHeaderSize) return 0;
    const uint8_t* h = bytes_.data();
    uint32_t length, crc;
    uint16_t kind, zero;
    std::memcpy(&length, h, 4);
    std::memcpy(&kind, h + 4, 2);
    std::memcpy(&zero, h + 6, 2);
    std::memcpy(&crc, h + 8, 4);
    const std::string where = place(kind);
    if (zero != 0 || kind < static_cast<uint16_t>(Kind::Session) || kind > static_cast<uint16_t>(Kind::End))
        return fail(where, "not a take record (kind " + std::to_string(kind) + ")");
    if (length > kMaxPayload)
        return fail(where, "record of " + std::to_string(length) + " bytes exceeds the limit of " +
                               std::to_string(kMaxPayload));
    if (have < kRecordHeaderSize + length) return 0;
    const uint8_t* payload = h + kRecordHeaderSize;
    if (crc32(crc32(0, h, 8), payload, length) != crc) return fail(where, "checksum mismatch (damaged take)");
    std::string why;
    item.payload = payload;
    item.size = length;
    if (!take(static_cast<Kind>(kind), item, why)) return fail(where, why);
    item.offset = offset_;
    bytes_.consume(kRecordHeaderSize + length);
    offset_ += kRecordHeaderSize + length;
    return 1;
}

bool Reader::inOrder(Kind kind, std::string& why) const {
    // Session, camera list, frames, end: each kind in its place.
    const Stage wanted = kind == Kind::Session   ? Stage::Session
                         : kind == Kind::Cameras ? Stage::Cameras
                                                 : Stage::Frames;
    if (stage_ == wanted) return true;
    if (stage_ < wanted)
        why = std::string(kind == Kind::Cameras ? "camera list"
                          : kind == Kind::Frame ? "frame"
                                                : "end record") +
              (stage_ == Stage::Session ? " before the session record" : " before the camera list");
    else
        why = kind == Kind::Session ? "a second session record" : "a second camera list";
    return false;
}

bool Reader::take(Kind kind, Item& item, std::string& why) {
    item.kind = kind;
    if (!inOrder(kind, why)) return false;
    const uint8_t* payload = item.payload;
    const size_t size = item.size;
    switch (kind) {
        case Kind::Session:
            if (!decodeSession(payload, size, session_, why)) return false;
            item.session = session_;
            stage_ = Stage::Cameras;
            return true;
        case Kind::Cameras:
            if (!decodeCameras(payload, size, cameras_, why)) return false;
            item.cameras = cameras_;
            stage_ = Stage::Frames;
            return true;
        case Kind::Frame:
            item.localTimeUs = kNoLocalTime;
            if (version_ >= 2) {
                if (size < kLocalTimeSize) {
                    why = "frame record without its capture time";
                    return false;
                }
                std::memcpy(&item.localTimeUs, payload, kLocalTimeSize);
                item.payload += kLocalTimeSize;
                item.size -= kLocalTimeSize;
            }
            if (!vekwire::decodeFrame(item.payload, item.size, item.frame, why) ||
                !checkFrame(item.frame, cameras_.size(), why) ||
                (frames_ > 0 && !frameFollows(lastFrame_, item.frame.header.frame, why)))
                return false;
            lastFrame_ = item.frame.header.frame;
            ++frames_;
            return true;
        case Kind::End:
            if (!decodeEnd(payload, size, item.end, why)) return false;
            if (item.end.frames != frames_) {
                why = "the end record counts " + std::to_string(item.end.frames) +
                      " frames; the take holds " + std::to_string(frames_);
                return false;
            }
            stage_ = Stage::Ended;
            return true;
    }
    return false;
}

std::string Reader::cutShort() const {
    if (failed() || stage_ == Stage::Ended) return {};
    const char* where[] = {"file header", "session record", "camera record"};
    const std::string place =
        stage_ == Stage::Frames ? "frame " + std::to_string(frames_ + 1) : where[static_cast<int>(stage_)];
    return "byte " + std::to_string(offset_) + " (" + place + "): cut short, no end record; " +
           std::to_string(frames_) + " whole frames before it";
}

}  // namespace vektake
