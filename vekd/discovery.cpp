#include "discovery.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bound_socket.h"
#include "wire.h"

namespace vekd {

namespace {

constexpr int kQueriesPerTurn = 16;

// The address of this host that `to` is reached from.
std::string localAddressTowards(const sockaddr_in& to) {
    const vekwire::UniqueFd probe(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in local{};
    socklen_t len = sizeof local;
    char text[INET_ADDRSTRLEN] = "127.0.0.1";
    if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        getsockname(probe.get(), reinterpret_cast<sockaddr*>(&local), &len) == 0)
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
    return text;
}

}  // namespace

bool DiscoveryResponder::open(const std::string& host, int port, std::string& error) {
    udp_ = bindSocket(SOCK_DGRAM, host, port);
    if (!udp_.valid()) {
        error = "cannot answer discovery on " + host + " udp port " + std::to_string(port) + ": " +
                std::strerror(errno) + " (--discovery-port -1 turns discovery off)";
        return false;
    }
    host_ = host;
    port_ = boundPort(udp_.get());
    return true;
}

void DiscoveryResponder::answer(int tcpPort, const std::string& description) {
    for (int turn = 0; turn < kQueriesPerTurn; ++turn) {
        uint8_t buf[vekwire::kScanQuerySize + 1];  // the byte more tells a longer datagram
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(udp_.get(), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        // A well-formed query is as long as the answer: an answer never
        // carries more bytes to an address than came from it.
        std::string label;
        if (!vekwire::decodeScanQuery(buf, static_cast<size_t>(n), label)) continue;

        std::string host = host_ == "0.0.0.0" ? localAddressTowards(from) : host_;
        if (tcpPort != VEK_DEFAULT_PORT) host += ":" + std::to_string(tcpPort);
        VEKScanEntry e{};
        std::snprintf(e.host, sizeof e.host, "%s", host.c_str());
        std::snprintf(e.description, sizeof e.description, "%s", description.c_str());
        const std::string answer = vekwire::encodeScanAnswer(e);
        sendto(udp_.get(), answer.data(), answer.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&from), len);
    }
}

}  // namespace vekd
