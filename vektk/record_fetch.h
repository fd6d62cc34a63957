// Fetching library records through the session's fixed fetch buffer.
#pragma once

#include <veksock.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace vektk {

constexpr std::size_t kFetchBufferBytes = VEK_FETCH_BYTES;

template <typename Record>
constexpr int MaxRecords() {
    return static_cast<int>(kFetchBufferBytes / sizeof(Record));
}

static_assert(MaxRecords<MarkerRecord>() == VEK_MAX_MARKERS);
static_assert(MaxRecords<DetectorRecord>() == VEK_MAX_DETECTORS);
static_assert(sizeof(VEKCamera) * VEK_MAX_CAMERAS < kFetchBufferBytes, "sizeof(VEKCamera)*64 < buf.size()");

// Copies `count` records out of `bytes` (at most `length` bytes).
template <typename Record>
void CopyRecords(const unsigned char* bytes, std::size_t length, int count, std::vector<Record>& out) {
    std::size_t n = static_cast<std::size_t>(count);
    if (n > length / sizeof(Record)) n = length / sizeof(Record);
    out.resize(n);
    if (n > 0) std::memcpy(out.data(), bytes, n * sizeof(Record));
}

// Calls the library's fetch `get` with the buffer and the number of records
// that fit. A negative answer empties `out`, a positive one replaces its
// content, 0 leaves it as it is. Returns the library's answer.
template <typename Record>
int FetchRecords(int (*get)(Record*, int), unsigned char* buffer, std::vector<Record>& out) {
    // The buffer is suitably aligned for every record kind (see VEK).
    const int n = get(reinterpret_cast<Record*>(buffer), MaxRecords<Record>());
    if (n < 0) {
        out.clear();
    } else if (n > 0) {
        CopyRecords(buffer, kFetchBufferBytes, n, out);
    }
    return n;
}

}  // namespace vektk
