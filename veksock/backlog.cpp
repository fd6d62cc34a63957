#include "backlog.h"

#include <algorithm>
#include <cstring>

namespace veksock {

StreamBacklog::StreamBacklog(uint32_t recordSize, size_t frames)
    : recordSize_(recordSize), slots_(std::max<size_t>(frames, 1)) {}

void StreamBacklog::push(int32_t frame, const uint8_t* records, uint32_t count) {
    if (size_ == slots_.size()) {
        head_ = (head_ + 1) % slots_.size();
        --size_;
        ++dropped_;
    }
    Slot& s = slots_[(head_ + size_) % slots_.size()];
    s.frame = frame;
    s.count = count;
    s.bytes.assign(records, records + size_t{count} * recordSize_);
    ++size_;
}

int StreamBacklog::pop(void* out, int max) {
    if (size_ == 0 || max <= 0) return 0;
    Slot& s = slots_[head_];
    const uint32_t n = std::min<uint32_t>(s.count, static_cast<uint32_t>(max));
    if (n) std::memcpy(out, s.bytes.data(), size_t{n} * recordSize_);
    head_ = (head_ + 1) % slots_.size();
    --size_;
    return static_cast<int>(n);
}

void StreamBacklog::clear() {
    head_ = 0;
    size_ = 0;
}

void StreamBacklog::reset() {
    clear();
    dropped_ = 0;
}

}  // namespace veksock
