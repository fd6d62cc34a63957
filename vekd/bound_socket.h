// The server's bound sockets: the listening one and discovery's.
#pragma once

#include <netinet/in.h>

#include <string>

#include "unique_fd.h"

namespace vekd {

// False when `host` is not a dotted IPv4 address.
bool ipv4Address(const std::string& host, int port, sockaddr_in& out);
// A non-blocking socket of `type` (SOCK_STREAM or SOCK_DGRAM) bound to
// host:port (port 0: a free one); a stream socket may take an address
// that its last user left in TIME_WAIT. Empty, with errno set, when it
// cannot be made or bound (EINVAL: `host` is no IPv4 address).
vekwire::UniqueFd bindSocket(int type, const std::string& host, int port);
int boundPort(int fd);

}  // namespace vekd
