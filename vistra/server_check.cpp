#include "server_check.h"

#include <cstdlib>
#include <cstring>

namespace {

int portOf(const char* text, std::size_t length) {
    const void* colon = std::memchr(text, ':', length);
    if (!colon) return VEK_DEFAULT_PORT;
    const std::string digits(static_cast<const char*>(colon) + 1, text + length);
    return std::atoi(digits.c_str());
}

}  // namespace

bool ScanFoundServer(const std::string& server, const VEKScanEntry* entries, int n) {
    const int port = portOf(server.data(), server.size());
    for (int i = 0; i < n; ++i) {
        const char* host = entries[i].host;
        if (portOf(host, strnlen(host, sizeof entries[i].host)) == port) return true;
    }
    return false;
}
