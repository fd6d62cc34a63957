// Fuzz target: any bytes, in two fragments, as a take file. Records come
// out whole and checked, or the reader stops with a message that says
// where; nothing may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "take_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vektake::Reader reader;
    const size_t split = size ? data[size - 1] % (size + 1) : 0;
    int r = 0;
    for (const auto& [from, len] : {std::pair{size_t{0}, split}, std::pair{split, size - split}}) {
        reader.feed(data + from, len);
        vektake::Item item;
        while ((r = reader.next(item)) == 1) {
            if (item.kind != vektake::Kind::Frame) continue;
            volatile uint8_t sink = 0;  // touch every record byte
            for (int s = 0; s < vekwire::kStreamCount; ++s)
                for (size_t b = 0; b < item.frame.count[s] * vekwire::kRecordSize[s]; ++b)
                    sink = sink ^ item.frame.records[s][b];
        }
    }
    // Every way of stopping says where: a broken take or one cut short
    // names its byte; only a take with its end record says nothing.
    const std::string why = r < 0 ? reader.error() : reader.cutShort();
    if (r < 0 && why.rfind("byte ", 0) != 0) __builtin_trap();
    if (r == 0 && !reader.ended() && why.rfind("byte ", 0) != 0) __builtin_trap();
    return 0;
}
