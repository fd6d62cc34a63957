#include "window/server_check.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kLocalHost = "localhost";

int portOf(const char* text, std::size_t length) {
    const void* colon = std::memchr(text, ':', length);
    if (!colon) return VEK_DEFAULT_PORT;
    const std::string digits(static_cast<const char*>(colon) + 1, text + length);
    return std::atoi(digits.c_str());
}

// The UDP port the library asks: VEK_SCAN_PORT replaces the one passed.
int scanPort() {
    const char* env = std::getenv("VEK_SCAN_PORT");
    const int port = env ? std::atoi(env) : 0;
    return port > 0 && port < 65536 ? port : VEK_DISCOVERY_PORT;
}

std::string hostOf(const VEKScanEntry& entry) { return {entry.host, strnlen(entry.host, sizeof entry.host)}; }

}  // namespace

bool ScanFoundServer(const std::string& server, const VEKScanEntry* entries, int n) {
    const int port = portOf(server.data(), server.size());
    for (int i = 0; i < n; ++i) {
        const std::string host = hostOf(entries[i]);
        if (portOf(host.data(), host.size()) == port) return true;
    }
    return false;
}

DiscoveryTarget DiscoveryTargetOf(const std::string& server) {
    DiscoveryTarget t;
    t.server = server.empty() ? kLocalHost : server;
    const std::size_t colon = server.find(':');
    t.host = colon == std::string::npos ? server : server.substr(0, colon);
    if (t.host.empty()) t.host = kLocalHost;
    t.udpPort = scanPort();
    return t;
}

std::string DiscoveryFailureText(const DiscoveryTarget& target, const VEKScanEntry* entries, int n) {
    const std::string where = target.host + " on UDP port " + std::to_string(target.udpPort);
    std::string why;
    if (n < 0) {
        why = "discovery query to " + where + " failed: ret=" + std::to_string(n);
    } else if (n == 0) {
        why = "no discovery answer from " + where;
    } else {
        why = "discovery answers from " + where + " name only";
        for (int i = 0; i < n; ++i) why += (i ? ", " : " ") + hostOf(entries[i]);
    }
    return why + "; VEK_SCAN_PORT sets the UDP port to ask";
}
