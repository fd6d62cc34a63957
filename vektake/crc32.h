// CRC-32 (IEEE 802.3, the one of zlib and PNG), computed piece by piece:
// crc32(crc32(0, a), b) is the checksum of a followed by b.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vektake {

uint32_t crc32(uint32_t crc, const void* data, size_t size);

}  // namespace vektake
