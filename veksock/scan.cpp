// Server discovery: one UDP query to each target, answers collected until
// every target has answered or the wait is over. Never broadcasts unless a
// user puts a broadcast address in VEK_SCAN_TARGETS.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net.h"
#include "veksock.h"
#include "wire.h"

namespace {

struct Target {
    sockaddr_in addr{};
};

// "host" or "host:udpport" entries, comma-separated.
std::vector<std::string> splitTargets(const char* list) {
    std::vector<std::string> out;
    std::string s = list ? list : "";
    size_t start = 0;
    while (start <= s.size()) {
        const size_t comma = s.find(',', start);
        std::string item = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!item.empty()) out.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

int scanPort(int port) {
    const char* env = getenv("VEK_SCAN_PORT");
    if (env && *env) {
        const int p = atoi(env);
        if (p > 0 && p < 65536) return p;
    }
    return port;
}

}  // namespace

extern "C" int vek_scan(const char* address, int port, const char* client, int wait_us, VEKScanEntry* out,
                        int max) {
    try {
        if (!out || max < 0 || wait_us < 0) return -VEK_INVALID_VALUE;
        port = scanPort(port);
        std::vector<Target> targets;
        std::vector<std::string> texts;
        if (address && *address) {
            veksock::Endpoint ep;  // a "host:port" address names the host to ask
            veksock::parseServer(address, port, ep);
            texts.push_back(ep.host);
        } else {
            const char* env = getenv("VEK_SCAN_TARGETS");
            texts = splitTargets(env && *env ? env : "127.0.0.1");
        }
        for (const auto& text : texts) {
            veksock::Endpoint ep;
            const bool hostOnly = text.find(':') == std::string::npos;
            if (!veksock::parseServer(text.c_str(), port, ep)) continue;
            Target t;
            t.addr.sin_family = AF_INET;
            t.addr.sin_port = htons(static_cast<uint16_t>(hostOnly ? port : ep.port));
            if (veksock::resolve(ep.host, t.addr.sin_addr) != 0) continue;
            targets.push_back(t);
        }
        if (targets.empty()) return VEK_ERR_HOST_UNREACHABLE;

        const vekwire::UniqueFd socket_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const int fd = socket_.get();
        if (fd < 0) return veksock::socketCode(errno);
        for (const auto& t : targets) {
            if (t.addr.sin_addr.s_addr == htonl(INADDR_BROADCAST)) {
                const int one = 1;
                setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
            }
        }
        const std::string query = vekwire::encodeScanQuery(client ? client : "");
        for (const auto& t : targets)
            sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&t.addr),
                   sizeof t.addr);

        const long long deadline = veksock::nowMs() + wait_us / 1000;
        // Who answered, by address and port: servers on one host differ by port only.
        std::vector<sockaddr_in> answered;
        int count = 0;
        while (count < max) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, veksock::millisecondsLeft(deadline)) <= 0) break;
            uint8_t buf[1024];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            VEKScanEntry e;
            if (n <= 0 || !vekwire::decodeScanAnswer(buf, static_cast<size_t>(n), e)) continue;
            bool duplicate = false;
            for (int i = 0; i < count; ++i) duplicate |= std::strcmp(out[i].host, e.host) == 0;
            if (duplicate) continue;
            out[count++] = e;
            answered.push_back(from);
            // Every target was asked directly and has answered: no reason to wait on.
            bool all = true;
            for (const auto& t : targets) {
                bool found = false;
                for (const auto& a : answered)
                    found |= a.sin_addr.s_addr == t.addr.sin_addr.s_addr && a.sin_port == t.addr.sin_port;
                all &= found && t.addr.sin_addr.s_addr != htonl(INADDR_BROADCAST);
            }
            if (all) break;
        }
        return count;
    } catch (...) {
        return VEK_ERR_NET_UNREACHABLE;
    }
}
