// Failed key checks per peer address. After kLimit failures within a
// window of kWindowMs, an address is refused without a check for
// kWindowMs, and those refusals are counted, not logged one by one: the
// block's start is one line, its count another at the block's end. The
// table holds at most kMaxAddresses; the address heard from longest ago
// makes room.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace vekd {

class FailedAttempts {
public:
    static constexpr int kLimit = 10;
    static constexpr long long kWindowMs = 60000;
    static constexpr size_t kMaxAddresses = 1024;

    // True when `address` (IPv4, host order) is refused without a check
    // now; the refusal is counted.
    bool blocked(uint32_t address, long long nowMs);
    // A failed check from `address`; the line to log when it starts a
    // block, else empty.
    std::string failed(uint32_t address, long long nowMs);
    // The lines of the blocks that have ended with refusals counted, and
    // forgets the addresses with nothing left to watch.
    std::string takeCounts(long long nowMs);
    // When takeCounts has a line to give, or -1.
    long long dueMs() const;
    size_t size() const { return table_.size(); }

private:
    struct Entry {
        long long windowStartMs = 0;
        int failures = 0;
        long long blockedUntilMs = -1;
        long long refused = 0;  // refusals without a check, not told yet
        long long lastMs = 0;   // last heard from
    };
    Entry& entry(uint32_t address, long long nowMs);

    std::unordered_map<uint32_t, Entry> table_;
};

// Dotted text of an IPv4 address in host order.
std::string addressText(uint32_t address);

}  // namespace vekd
