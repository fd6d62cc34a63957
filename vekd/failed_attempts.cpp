#include "failed_attempts.h"

#include <arpa/inet.h>

#include <algorithm>

#include "repeated_line.h"

namespace vekd {

std::string addressText(uint32_t address) {
    const in_addr a{htonl(address)};
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

FailedAttempts::Entry& FailedAttempts::entry(uint32_t address, long long nowMs) {
    if (table_.size() >= kMaxAddresses && !table_.count(address)) {
        const auto oldest = std::min_element(table_.begin(), table_.end(), [](const auto& a, const auto& b) {
            return a.second.lastMs < b.second.lastMs;
        });
        table_.erase(oldest);
    }
    Entry& e = table_[address];
    e.lastMs = nowMs;
    return e;
}

bool FailedAttempts::blocked(uint32_t address, long long nowMs) {
    const auto it = table_.find(address);
    if (it == table_.end() || nowMs >= it->second.blockedUntilMs) return false;
    ++it->second.refused;
    it->second.lastMs = nowMs;
    return true;
}

std::string FailedAttempts::failed(uint32_t address, long long nowMs) {
    Entry& e = entry(address, nowMs);
    if (e.failures == 0 || nowMs - e.windowStartMs >= kWindowMs) {
        e.windowStartMs = nowMs;
        e.failures = 0;
    }
    if (++e.failures < kLimit) return {};
    e.failures = 0;
    e.blockedUntilMs = nowMs + kWindowMs;
    return "vekd: " + addressText(address) + ": " + std::to_string(kLimit) +
           " failed attempts; refusing without checking for " + std::to_string(kWindowMs / 1000) + " s\n";
}

std::string FailedAttempts::takeCounts(long long nowMs) {
    std::string lines;
    for (auto it = table_.begin(); it != table_.end();) {
        Entry& e = it->second;
        const bool blocking = nowMs < e.blockedUntilMs;
        if (!blocking && e.refused > 0) {
            lines += "vekd: " + addressText(it->first) + ": " + std::to_string(e.refused) +
                     " attempts refused without checking\n";
            e.refused = 0;
        }
        const bool counting = e.failures > 0 && nowMs - e.windowStartMs < kWindowMs;
        it = blocking || counting ? std::next(it) : table_.erase(it);
    }
    return lines;
}

long long FailedAttempts::dueMs() const {
    long long due = -1;
    for (const auto& [address, e] : table_)
        if (e.refused > 0) due = earliestMs(due, e.blockedUntilMs);
    return due;
}

}  // namespace vekd
