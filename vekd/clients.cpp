#include "clients.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "bound_socket.h"
#include "monotonic_time.h"
#include "stamped_receive.h"

namespace vekd {

namespace {

constexpr long long kHelloLimitMs = 5000;
// What one client may send per turn of the loop: a hundred requests. The
// rest waits for the next turn, after the frame timer has had its own.
constexpr size_t kReadPerTurn = 4 << 10;
// How long the listening socket rests when accepting fails for want of
// descriptors or memory, instead of waking the loop again at once.
constexpr long long kAcceptPauseMs = 100;

}  // namespace

Clients::Clients(Poller& poller, TrackerTable& trackers, size_t queueBytes, LinkDelay link)
    : poller_(poller), trackers_(trackers), queueBytes_(queueBytes), link_(std::move(link)) {}

bool Clients::listen(const std::string& host, int port, std::string& error) {
    listen_ = bindSocket(SOCK_STREAM, host, port);
    if (!listen_.valid() || ::listen(listen_.get(), 64) != 0) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    port_ = boundPort(listen_.get());
    return true;
}

void Clients::accept() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t peerSize = sizeof peer;
        vekwire::UniqueFd accepted(accept4(listen_.get(), reinterpret_cast<sockaddr*>(&peer), &peerSize,
                                           SOCK_NONBLOCK | SOCK_CLOEXEC));
        const int fd = accepted.get();
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                pauseAccepting(errno);
            return;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        vekwire::stampArrivals(fd);  // time requests are answered with their arrival
        auto c = std::make_unique<ClientConn>();
        c->id = nextId_++;
        c->peer = ntohl(peer.sin_addr.s_addr);
        c->connectedMs = nowUs() / 1000;
        // A connection the loop cannot watch is closed at once: watching
        // fails for want of memory, as accepting does.
        if (!poller_.add(fd, Watched::Client, EPOLLIN, c->id)) {
            pauseAccepting(errno);
            return;
        }
        c->fd = std::move(accepted);
        clients_.push_back(std::move(c));
    }
}

void Clients::pauseAccepting(int err) {
    poller_.remove(listen_.get());
    const long long nowMs = nowUs() / 1000;
    acceptResumeMs_ = nowMs + kAcceptPauseMs;
    if (acceptFailures_.occur(nowMs)) {
        std::printf("vekd: cannot accept clients: %s; trying again every %lld ms\n", std::strerror(err),
                    kAcceptPauseMs);
        std::fflush(stdout);
    }
}

bool Clients::receive(ClientConn& c) {
    uint8_t buf[kReadPerTurn];
    ssize_t n;
    long long arrivalUs = 0;
    do {
        n = vekwire::receiveStamped(c.fd.get(), buf, sizeof buf, arrivalUs);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    if (n <= 0) {
        drop(c, "connection closed");
        return false;
    }
    c.arrivalUs = link_.active() ? 0 : arrivalUs;  // held bytes arrive when released
    if (link_.active()) {
        const long long at = link_.releaseUs(arrivalUs, c.lastInUs);  // from the wire, not from this read
        c.inbound.push_back({at, std::string(reinterpret_cast<const char*>(buf), static_cast<size_t>(n))});
        nextReleaseUs_ = nextReleaseUs_ < 0 ? at : std::min(nextReleaseUs_, at);
        return false;
    }
    c.reader.feed(buf, static_cast<size_t>(n));
    return true;
}

void Clients::hold(ClientConn& c, const iovec* parts, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<const char*>(parts[i].iov_base), parts[i].iov_len);
    const long long at = link_.releaseUs(nowUs(), c.lastOutUs);
    c.outboundBytes += bytes.size();
    c.outbound.push_back({at, std::move(bytes)});
    nextReleaseUs_ = nextReleaseUs_ < 0 ? at : std::min(nextReleaseUs_, at);
}

long long Clients::release(long long nowUs, std::vector<ClientConn*>& fed) {
    nextReleaseUs_ = -1;
    const auto later = [&](long long at) {
        nextReleaseUs_ = nextReleaseUs_ < 0 ? at : std::min(nextReleaseUs_, at);
    };
    for (auto& c : clients_) {
        if (!c->fd.valid()) continue;
        bool in = false;
        while (!c->inbound.empty() && c->inbound.front().atUs <= nowUs) {
            c->reader.feed(c->inbound.front().bytes.data(), c->inbound.front().bytes.size());
            c->inbound.pop_front();
            in = true;
        }
        if (in) fed.push_back(c.get());
        bool out = false;
        while (!c->outbound.empty() && c->outbound.front().atUs <= nowUs) {
            const std::string& bytes = c->outbound.front().bytes;
            c->outboundBytes -= bytes.size();
            out = true;
            if (!c->send(bytes)) {
                drop(*c, "write failed");
                break;
            }
            c->outbound.pop_front();
        }
        if (!c->fd.valid()) continue;
        if (out) watchWrites(*c);
        if (!c->inbound.empty()) later(c->inbound.front().atUs);
        if (!c->outbound.empty()) later(c->outbound.front().atUs);
    }
    return nextReleaseUs_;
}

bool Clients::post(ClientConn& c, const std::string& message) {
    // Every message counts against the queue: frames are dropped at the
    // limit, and a client whose queue grows to twice the limit with what
    // may not be dropped is not reading at all.
    if (link_.active()) {
        iovec v{const_cast<char*>(message.data()), message.size()};
        hold(c, &v, 1);
        if (c.queued() + c.outboundBytes > 2 * queueBytes_) drop(c, "does not read what it is sent");
        return c.fd.valid();
    }
    if (!c.send(message))
        drop(c, "write failed");
    else if (c.queued() > 2 * queueBytes_)
        drop(c, "does not read what it is sent");
    else if (c.queued() > 0)
        watchWrites(c);
    return c.fd.valid();
}

void Clients::postFrame(ClientConn& c, const iovec* parts, int count, size_t total) {
    if (link_.active()) {
        if (c.queued() + c.outboundBytes + total > queueBytes_)
            ++c.dropped;
        else
            hold(c, parts, count);
        return;
    }
    if (!c.send(parts, count, total, true, queueBytes_))
        drop(c, "write failed");
    else if (c.queued() > 0)
        watchWrites(c);
}

void Clients::flush(ClientConn& c) {
    if (!c.flush())
        drop(c, "write failed");
    else
        watchWrites(c);
}

void Clients::watchWrites(ClientConn& c) {
    if (!c.fd.valid()) return;
    if (c.closing && c.queued() == 0 && c.outbound.empty()) {
        drop(c, "refused");
        return;
    }
    if (!poller_.change(c.fd.get(), Watched::Client, EPOLLIN | (c.queued() > 0 ? EPOLLOUT : 0u), c.id))
        drop(c, "cannot be watched");
}

void Clients::drop(ClientConn& c, const char* why) {
    if (!c.fd.valid()) return;
    poller_.remove(c.fd.get());
    c.fd.reset();
    if (c.admitted) {
        std::printf("client %u disconnected: %s (%u frames dropped for it)\n", c.id, why, c.dropped);
        if (c.master && !trackers_.trackers().empty()) {
            std::printf("trackers of client %u removed\n", c.id);
            trackers_.clear();
        }
    } else if (!c.closing) {
        std::printf("client %u closed before its greeting: %s\n", c.id, why);
    }
    std::fflush(stdout);
}

void Clients::removeClosed() {
    std::erase_if(clients_, [](const auto& c) { return !c->fd.valid(); });
}

void Clients::tidy(long long nowMs) {
    for (auto& c : clients_)
        if (c->fd.valid() && !c->admitted && nowMs - c->connectedMs > kHelloLimitMs) drop(*c, "no greeting");
    removeClosed();
    if (acceptResumeMs_ >= 0 && nowMs >= acceptResumeMs_)
        acceptResumeMs_ = poller_.add(listen_.get(), Watched::Listen, EPOLLIN) ? -1 : nowMs + kAcceptPauseMs;
}

void Clients::logRepeats(long long nowMs) {
    if (const long long n = acceptFailures_.takeRepeats(nowMs))
        std::printf("vekd: cannot accept clients: %lld more failures\n", n);
}

long long Clients::dueMs() const { return earliestMs(acceptResumeMs_, acceptFailures_.dueMs()); }

void Clients::stopAll() {
    std::string bye;
    vekwire::encodeBye(bye, VEK_SERVER_STOPPED);
    for (auto& c : clients_) {
        if (!c->fd.valid()) continue;
        if (c->admitted) {
            for (const auto& held : c->outbound) c->send(held.bytes);  // what is on its way, then goodbye
            c->send(bye);
            // Give a slow reader a moment to take the goodbye.
            for (int i = 0; i < 20 && c->queued() > 0 && c->flush(); ++i) usleep(5000);
        }
        drop(*c, "server stopping");
    }
}

ClientConn* Clients::find(uint32_t id) {
    for (auto& c : clients_)
        if (c->id == id && c->fd.valid()) return c.get();
    return nullptr;
}

bool Clients::anyStreaming() const {
    for (const auto& c : clients_)
        if (c->fd.valid() && c->admitted && c->streaming) return true;
    return false;
}

}  // namespace vekd
