// For fuzz targets of take readers: records behind valid checksums, so
// that a fuzzer reaches the checks of the records' content. The bytes are
// read as u16 kind, u16 length, payload, ... and sealed into a take after
// a file header of `version`.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "crc32.h"
#include "take_format.h"

namespace vektake {

inline std::string sealedTake(const uint8_t* data, size_t size, uint16_t version) {
    std::string out;
    out.append(vektake::kMagic, sizeof vektake::kMagic);
    out.append(reinterpret_cast<const char*>(&version), 2);
    out.append("\x10\0\0\0\0\0", 6);
    for (size_t at = 0; at + 4 <= size;) {
        uint16_t kind, length;
        std::memcpy(&kind, data + at, 2);
        std::memcpy(&length, data + at + 2, 2);
        at += 4;
        length = static_cast<uint16_t>(std::min<size_t>(length, size - at));
        char header[12] = {};
        const uint32_t n = length;
        std::memcpy(header, &n, 4);
        std::memcpy(header + 4, &kind, 2);
        const uint32_t crc = vektake::crc32(vektake::crc32(0, header, 8), data + at, length);
        std::memcpy(header + 8, &crc, 4);
        out.append(header, sizeof header);
        out.append(reinterpret_cast<const char*>(data + at), length);
        at += length;
    }
    return out;
}

}  // namespace vektake
