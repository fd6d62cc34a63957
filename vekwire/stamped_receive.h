// Reading a socket with the kernel's stamp of when the bytes arrived, for
// the time exchange: its four times are taken as close to the wire as the
// host allows, however late the reader comes.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace vekwire {

// Asks the kernel to stamp what arrives on the socket.
void stampArrivals(int fd);
// recv without waiting; `arrivalUs` is when the newest of the bytes read
// came in on the steady clock (CLOCK_MONOTONIC, microseconds): the
// kernel's stamp where there is one, else now.
ssize_t receiveStamped(int fd, void* buf, size_t size, long long& arrivalUs);

}  // namespace vekwire
