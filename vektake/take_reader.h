// Push parser of take files: feed bytes as they come (from a file, in any
// pieces), take out whole, checked records. Errors are sticky and say where
// the take went wrong: "byte 5036 (frame 3): checksum mismatch". No file
// code here: take_file.h reads files through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "byte_buffer.h"
#include "take_format.h"
#include "wire.h"

namespace vektake {

// One whole record; frame and payload point into the reader's buffer and
// stay valid until the next call of feed(), prepare() or next().
struct Item {
    Kind kind = Kind::Session;
    uint64_t offset = 0;  // where the record starts in the file
    // The record's payload; of a frame, the wire frame payload in it.
    const uint8_t* payload = nullptr;
    size_t size = 0;
    int64_t localTimeUs = kNoLocalTime;  // Kind::Frame: on the recorder's clock
    Session session;                     // Kind::Session
    std::vector<Camera> cameras;         // Kind::Cameras
    vekwire::FrameView frame;            // Kind::Frame
    End end;                             // Kind::End
};

class Reader {
public:
    void feed(const void* data, size_t size);
    // Zero-copy feeding: room for at least `size` bytes, then commit what
    // was written there.
    uint8_t* prepare(size_t size);
    void commit(size_t size);
    // 1: `item` holds the next record; 0: more bytes needed; -1: the take is
    // broken (error() says where and why).
    int next(Item& item);
    // Once the input is over: empty when the take ended with its end
    // record; otherwise where it stops and how many whole frames it holds.
    std::string cutShort() const;

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    bool ended() const { return stage_ == Stage::Ended; }
    uint32_t frames() const { return frames_; }  // whole frames read so far
    uint64_t offset() const { return offset_; }  // where the next record starts
    // The file header's version, once read (else 0).
    uint16_t version() const { return version_; }
    const Session& session() const { return session_; }
    const std::vector<Camera>& cameras() const { return cameras_; }
    void reset();

private:
    enum class Stage { FileHeader, Session, Cameras, Frames, Ended };

    int fail(const std::string& where, const std::string& why);
    int readFileHeader();
    // What the record at offset_ is, in a message: "frame 3", "session record".
    std::string place(uint16_t kind) const;
    // Whether a record of this kind may come now; false with the reason.
    bool inOrder(Kind kind, std::string& why) const;
    // Order and content of one whole record; false with the reason.
    // `item` holds the record's payload.
    bool take(Kind kind, Item& item, std::string& why);

    vekwire::ByteBuffer bytes_;
    uint64_t offset_ = 0;  // file offset of bytes_.data()
    Stage stage_ = Stage::FileHeader;
    uint16_t version_ = 0;
    uint32_t frames_ = 0;
    int32_t lastFrame_ = 0;
    Session session_;
    std::vector<Camera> cameras_;
    std::string error_;
};

}  // namespace vektake
