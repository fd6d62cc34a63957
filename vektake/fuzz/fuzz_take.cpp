// Fuzz target: any bytes, in two fragments, as a take file. Records come
// out whole and checked, or the reader stops with a message that says
// where; nothing may crash, hang or read out of bounds. An input that
// starts with '#' ('$') is taken as records to seal with valid checksums
// (u16 kind, u16 length, payload, ...) in a take of version 1 (2), so that
// the fuzzer reaches the checks of the records' content behind the
// checksum. The LEDs the peaks name are
// gathered as vekd --replay and vektake info gather them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "sealed_take.h"
#include "take_file.h"
#include "take_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string records;
    if (size > 0 && (data[0] == '#' || data[0] == '$')) {
        records = vektake::sealedTake(data + 1, size - 1, data[0] == '#' ? 1 : 2);
        data = reinterpret_cast<const uint8_t*>(records.data());
        size = records.size();
    }
    vektake::Reader reader;
    std::vector<int> leds;
    const size_t split = size ? data[size - 1] % (size + 1) : 0;
    int r = 0;
    for (const auto& [from, len] : {std::pair{size_t{0}, split}, std::pair{split, size - split}}) {
        reader.feed(data + from, len);
        vektake::Item item;
        while ((r = reader.next(item)) == 1) {
            // A record came out: the file header was read.
            if (reader.version() < vektake::kOldestVersion || reader.version() > vektake::kVersion)
                __builtin_trap();
            if (item.kind != vektake::Kind::Frame) continue;
            // The LEDs the peaks name: sorted, unique, within the limit.
            if (!vektake::collectPeakLeds(item.frame, leds) && leds.size() != vektake::kMaxLeds)
                __builtin_trap();
            if (!std::is_sorted(leds.begin(), leds.end()) ||
                std::adjacent_find(leds.begin(), leds.end()) != leds.end())
                __builtin_trap();
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
