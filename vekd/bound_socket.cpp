#include "bound_socket.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>

namespace vekd {

bool ipv4Address(const std::string& host, int port, sockaddr_in& out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(port));
    return inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1;
}

vekwire::UniqueFd bindSocket(int type, const std::string& host, int port) {
    sockaddr_in address;
    if (!ipv4Address(host, port, address)) {
        errno = EINVAL;
        return {};
    }
    vekwire::UniqueFd fd(socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return fd;
    if (type == SOCK_STREAM) {
        const int one = 1;
        setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int err = errno;
        fd.reset();
        errno = err;
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

}  // namespace vekd
