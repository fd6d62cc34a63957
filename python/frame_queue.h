// The frames a live session received and the program has not taken yet:
// whole wire payloads in order, in a ring of reused buffers. When it is
// full the oldest frame is dropped; every frame counts the frames lost
// just before it, so that no loss goes unreported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "records.h"

namespace vekpy {

struct QueuedFrame {
    std::vector<uint8_t> payload;  // as the server sent it
    std::shared_ptr<const std::vector<CameraRow>> cameras;
    int64_t lost = 0;  // frames lost between the frame before it and this one
};

class FrameQueue {
public:
    explicit FrameQueue(size_t capacity);

    // `lost`: the frames missing before this one when it came.
    void push(const uint8_t* payload, size_t size, std::shared_ptr<const std::vector<CameraRow>> cameras,
              int64_t lost);
    // The oldest frame into `out` (whose buffer the ring keeps for reuse);
    // false when empty.
    bool pop(QueuedFrame& out);
    // Skips every frame but the newest, which counts them as lost.
    void keepNewest();
    void clear();

    size_t size() const { return size_; }
    uint64_t dropped() const { return dropped_; }  // by a full queue

private:
    QueuedFrame& at(size_t i) { return slots_[(head_ + i) % slots_.size()]; }

    std::vector<QueuedFrame> slots_;
    size_t head_ = 0;
    size_t size_ = 0;
    int64_t carried_ = 0;  // lost frames for the next frame, when a drop emptied the ring
    uint64_t dropped_ = 0;
};

}  // namespace vekpy
