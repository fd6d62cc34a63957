// The loop's epoll descriptor. Everything it watches carries a tag: what
// it is and, for a client, the client's id, so that an event names its
// owner without a lookup by descriptor.
#pragma once

#include <sys/epoll.h>

#include <cstdint>

#include "unique_fd.h"

namespace vekd {

enum class Watched : uint32_t { Listen = 1, Discovery, Timer, Signals, Client };

class Poller {
public:
    // False with errno set.
    bool open();
    // Watches `fd` for `events` (0: for nothing, the descriptor rests);
    // false with errno set.
    bool add(int fd, Watched what, uint32_t events, uint32_t id = 0);
    bool change(int fd, Watched what, uint32_t events, uint32_t id = 0);
    // Before `fd` is closed (closing alone forgets it too; this says so).
    void remove(int fd);
    // The events now, 0 after the timeout (microseconds), -1 with errno.
    int wait(epoll_event* events, int max, long long timeoutUs);

    static Watched what(const epoll_event& e) { return static_cast<Watched>(e.data.u64 >> 32); }
    static uint32_t id(const epoll_event& e) { return static_cast<uint32_t>(e.data.u64); }

private:
    bool control(int op, int fd, Watched what, uint32_t events, uint32_t id);

    vekwire::UniqueFd epoll_;
};

}  // namespace vekd
