#include "net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "stamped_receive.h"
#include "veksock.h"

namespace veksock {

bool parseServer(const char* text, int defaultPort, Endpoint& out) {
    std::string s = text ? text : "";
    out.host = "localhost";
    out.port = defaultPort;
    if (s.empty()) return true;
    const auto colon = s.rfind(':');
    if (colon == std::string::npos) {
        out.host = s;
        return true;
    }
    const std::string port = s.substr(colon + 1);
    char* end = nullptr;
    const long p = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || p < 1 || p > 65535) return false;
    out.port = static_cast<int>(p);
    if (colon > 0) out.host = s.substr(0, colon);
    return true;
}

int resolve(const std::string& host, in_addr& out) {
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return VEK_ERR_HOST_UNREACHABLE;
    out = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
    freeaddrinfo(res);
    return 0;
}

int socketCode(int err) {
    switch (err) {
        case ETIMEDOUT:
            return VEK_ERR_TIMED_OUT;
        case EHOSTUNREACH:
        case EADDRNOTAVAIL:
            return VEK_ERR_HOST_UNREACHABLE;
        case ENETUNREACH:
        case ENETDOWN:
            return VEK_ERR_NET_UNREACHABLE;
        default:
            return VEK_ERR_REFUSED;
    }
}

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long long steadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int millisecondsLeft(long long deadlineMs) {
    const long long left = deadlineMs - nowMs();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool isLoopbackPeer(int fd) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 && peer.sin_family == AF_INET &&
           (ntohl(peer.sin_addr.s_addr) >> 24) == 127;
}

int connectWithin(const Endpoint& to, int timeoutMs, vekwire::UniqueFd& out) {
    const long long deadline = nowMs() + timeoutMs;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(to.port));
    if (const int r = resolve(to.host, addr.sin_addr)) return r;

    vekwire::UniqueFd socket_(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int fd = socket_.get();
    if (fd < 0) return socketCode(errno);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // The kernel stamps what arrives: a time answer's arrival, however
    // late the caller reads it.
    vekwire::stampArrivals(fd);
    const int rcvbuf = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);

    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        out = std::move(socket_);
        return 0;
    }
    if (errno != EINPROGRESS) return socketCode(errno);
    pollfd p{fd, POLLOUT, 0};
    int r;
    do {
        r = poll(&p, 1, millisecondsLeft(deadline));
    } while (r < 0 && errno == EINTR);
    if (r == 0) return VEK_ERR_TIMED_OUT;
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    if (r < 0 || err != 0) return socketCode(r < 0 ? errno : err);
    out = std::move(socket_);
    return 0;
}

}  // namespace veksock
