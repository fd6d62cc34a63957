#include "client_conn.h"

#include <sys/socket.h>

#include <cerrno>

namespace vekd {

namespace {

// Bytes the socket took, 0 when it would block, -1 when it broke.
ssize_t writeParts(int fd, const iovec* parts, int count) {
    msghdr m{};
    m.msg_iov = const_cast<iovec*>(parts);
    m.msg_iovlen = static_cast<size_t>(count);
    for (;;) {
        const ssize_t n = sendmsg(fd, &m, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

}  // namespace

bool ClientConn::send(const iovec* parts, int count, size_t total, bool droppable, size_t limit) {
    size_t written = 0;
    if (queued() == 0) {
        const ssize_t n = writeParts(fd.get(), parts, count);
        if (n < 0) return false;
        written = static_cast<size_t>(n);
        if (written == total) return true;
    } else if (droppable && queued() + total > limit) {
        ++dropped;
        return true;
    }
    // Keep the rest, whole, so the stream of messages stays intact.
    size_t skip = written;
    for (int i = 0; i < count; ++i) {
        const size_t len = parts[i].iov_len;
        if (skip >= len) {
            skip -= len;
            continue;
        }
        queue.append(static_cast<const char*>(parts[i].iov_base) + skip, len - skip);
        skip = 0;
    }
    return true;
}

bool ClientConn::flush() {
    while (queued() > 0) {
        iovec v{queue.data() + queueStart, queued()};
        const ssize_t n = writeParts(fd.get(), &v, 1);
        if (n < 0) return false;
        if (n == 0) break;
        queueStart += static_cast<size_t>(n);
    }
    if (queued() == 0) {
        queue.clear();
        queueStart = 0;
    } else if (queueStart > (1 << 20)) {
        queue.erase(0, queueStart);
        queueStart = 0;
    }
    return true;
}

}  // namespace vekd
