#include "frame_queue.h"

#include <utility>

namespace vekpy {

FrameQueue::FrameQueue(size_t capacity) : slots_(capacity > 0 ? capacity : 1) {}

void FrameQueue::push(const uint8_t* payload, size_t size,
                      std::shared_ptr<const std::vector<CameraRow>> cameras, int64_t lost) {
    if (size_ == slots_.size()) {
        const int64_t gone = at(0).lost + 1;
        head_ = (head_ + 1) % slots_.size();
        --size_;
        ++dropped_;
        if (size_ > 0)
            at(0).lost += gone;
        else
            carried_ += gone;
    }
    QueuedFrame& slot = at(size_);
    slot.payload.assign(payload, payload + size);
    slot.cameras = std::move(cameras);
    slot.lost = lost + carried_;
    carried_ = 0;
    ++size_;
}

bool FrameQueue::pop(QueuedFrame& out) {
    if (size_ == 0) return false;
    QueuedFrame& slot = at(0);
    std::swap(out.payload, slot.payload);
    out.cameras = std::move(slot.cameras);
    out.lost = slot.lost;
    head_ = (head_ + 1) % slots_.size();
    --size_;
    return true;
}

void FrameQueue::keepNewest() {
    if (size_ <= 1) return;
    int64_t skipped = 0;
    for (size_t i = 0; i + 1 < size_; ++i) skipped += at(i).lost + 1;
    head_ = (head_ + size_ - 1) % slots_.size();
    size_ = 1;
    at(0).lost += skipped;
}

void FrameQueue::clear() {
    head_ = 0;
    size_ = 0;
    carried_ = 0;
}

}  // namespace vekpy
