// The bytes a push reader holds between feeds: appended at the back (also
// straight from a read into prepare()), taken from the front once whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vekwire {

class ByteBuffer {
public:
    // Room for at least `size` bytes after those held.
    uint8_t* prepare(size_t size) {
        if (start_ == end_) {
            start_ = end_ = 0;
        } else if (buffer_.size() - end_ < size && start_ > 0) {
            // Out of room: move the unread part (less than one message) down.
            std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
            end_ -= start_;
            start_ = 0;
        }
        if (buffer_.size() < end_ + size) buffer_.resize(std::max(end_ + size, buffer_.size() * 2));
        return buffer_.data() + end_;
    }
    // Holds `size` more bytes, written where prepare() pointed.
    void commit(size_t size) { end_ = std::min(end_ + size, buffer_.size()); }
    void append(const void* data, size_t size) {
        if (size == 0) return;
        std::memcpy(prepare(size), data, size);
        commit(size);
    }

    const uint8_t* data() const { return buffer_.data() + start_; }
    size_t size() const { return end_ - start_; }
    void consume(size_t size) { start_ += std::min(size, end_ - start_); }
    void clear() { start_ = end_ = 0; }

private:
    std::vector<uint8_t> buffer_;
    size_t start_ = 0, end_ = 0;  // the bytes held: buffer_[start_, end_)
};

}  // namespace vekwire
