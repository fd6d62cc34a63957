// The frames of one stream that arrived and were not fetched yet: a ring of
// whole frames; when it is full the oldest frame is dropped and counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veksock {

class StreamBacklog {
public:
    static constexpr size_t kDefaultFrames = 512;

    explicit StreamBacklog(uint32_t recordSize, size_t frames = kDefaultFrames);

    void push(int32_t frame, const uint8_t* records, uint32_t count);
    // Copies up to `max` records of the oldest frame into `out` and forgets
    // that frame; answers the number copied, 0 when nothing is waiting.
    int pop(void* out, int max);
    void clear();
    void reset();  // clear and forget the drop count

    size_t size() const { return size_; }
    uint64_t dropped() const { return dropped_; }

private:
    struct Slot {
        int32_t frame = 0;
        uint32_t count = 0;
        std::vector<uint8_t> bytes;
    };

    uint32_t recordSize_;
    std::vector<Slot> slots_;
    size_t head_ = 0;
    size_t size_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace veksock
