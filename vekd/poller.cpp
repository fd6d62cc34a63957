#include "poller.h"

namespace vekd {

bool Poller::open() {
    epoll_.reset(epoll_create1(EPOLL_CLOEXEC));
    return epoll_.valid();
}

bool Poller::add(int fd, Watched what, uint32_t events, uint32_t id) {
    return control(EPOLL_CTL_ADD, fd, what, events, id);
}

bool Poller::change(int fd, Watched what, uint32_t events, uint32_t id) {
    return control(EPOLL_CTL_MOD, fd, what, events, id);
}

void Poller::remove(int fd) {
    // Only an fd that was never added fails; it is closed next either way.
    epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, fd, nullptr);
}

int Poller::wait(epoll_event* events, int max, long long timeoutUs) {
    const timespec timeout{static_cast<time_t>(timeoutUs / 1000000),
                           static_cast<long>(timeoutUs % 1000000) * 1000};
    return epoll_pwait2(epoll_.get(), events, max, &timeout, nullptr);
}

bool Poller::control(int op, int fd, Watched what, uint32_t events, uint32_t id) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = (uint64_t{static_cast<uint32_t>(what)} << 32) | id;
    return epoll_ctl(epoll_.get(), op, fd, &ev) == 0;
}

}  // namespace vekd
