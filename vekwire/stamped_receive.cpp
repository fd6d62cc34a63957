#include "stamped_receive.h"

#include <sys/socket.h>
#include <time.h>

#include <cstring>

namespace vekwire {

namespace {

long long microseconds(const timespec& t) { return t.tv_sec * 1000000LL + t.tv_nsec / 1000; }

}  // namespace

void stampArrivals(int fd) {
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
}

ssize_t receiveStamped(int fd, void* buf, size_t size, long long& arrivalUs) {
    iovec v{buf, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr m{};
    m.msg_iov = &v;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &m, MSG_DONTWAIT);
    timespec steady, real;
    clock_gettime(CLOCK_MONOTONIC, &steady);
    arrivalUs = microseconds(steady);
    if (n <= 0) return n;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
        timespec stamp;
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        clock_gettime(CLOCK_REALTIME, &real);
        // The stamp is on the realtime clock: moved back from now by its age.
        const long long ageUs = microseconds(real) - microseconds(stamp);
        if (ageUs >= 0 && ageUs < 10'000'000) arrivalUs -= ageUs;
    }
    return n;
}

}  // namespace vekwire
