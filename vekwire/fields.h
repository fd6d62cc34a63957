// Little-endian fields in and out of byte buffers, for the wire protocol
// and the take files: every read is bounded by the buffer's length and
// copies with memcpy, so any bytes may come in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vekwire {

template <typename T>
void put(std::string& out, T v) {
    char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.append(b, sizeof(T));
}

// u16 length, then at most `max` bytes of `s`.
inline void putText(std::string& out, const std::string& s, size_t max) {
    const size_t n = std::min(s.size(), max);
    put<uint16_t>(out, static_cast<uint16_t>(n));
    out.append(s, 0, n);
}

// Reads fields in order from a payload, remembering the first shortfall.
class Fields {
public:
    Fields(const uint8_t* p, size_t n) : p_(p), n_(n) {}

    template <typename T>
    T get() {
        T v{};
        if (n_ - at_ < sizeof(T)) {
            short_ = true;
            return v;
        }
        std::memcpy(&v, p_ + at_, sizeof(T));
        at_ += sizeof(T);
        return v;
    }
    // u16 length and that many bytes, at most `max`.
    bool text(std::string& s, size_t max) {
        const uint16_t len = get<uint16_t>();
        if (short_ || len > max || n_ - at_ < len) return false;
        s.assign(reinterpret_cast<const char*>(p_ + at_), len);
        at_ += len;
        return true;
    }
    const uint8_t* here() const { return p_ + at_; }
    size_t left() const { return n_ - at_; }
    void skip(size_t k) { at_ += k; }
    bool ok() const { return !short_; }
    bool complete() const { return !short_ && at_ == n_; }
    // complete(), or false with why not: "truncated <what>" or "trailing
    // bytes in <what>".
    bool finish(const char* what, std::string& error) const {
        if (complete()) return true;
        error = std::string(ok() ? "trailing bytes in " : "truncated ") + what;
        return false;
    }

private:
    const uint8_t* p_;
    size_t n_;
    size_t at_ = 0;
    bool short_ = false;
};

}  // namespace vekwire
