#include "server.h"

#include <signal.h>
#include <sys/signalfd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "bound_socket.h"
#include "monotonic_time.h"

namespace vekd {

Server::Server(Options options, std::unique_ptr<FrameSource> source, vekwire::LabKey key)
    : options_(std::move(options)),
      source_(std::move(source)),
      key_(std::move(key)),
      time_(options_),
      clients_(poller_, trackers_, options_.queueBytes, LinkDelay(options_)),
      clock_(*source_, trackers_, clients_, options_.frequency, time_),
      requests_(options_, *source_, trackers_, clients_, clock_, key_, attempts_, time_) {}

Server::~Server() = default;

bool Server::start(std::string& error) {
    if (sockaddr_in address; !ipv4Address(options_.bind, 0, address)) {
        error = "not an IPv4 address: " + options_.bind;
        return false;
    }
    if (key_.empty() && beyondLoopback(options_.bind)) {
        std::printf(
            "vekd: warning: serving %s without a lab key (--no-key): anyone who reaches it can "
            "control this server\n",
            options_.bind.c_str());
        std::fflush(stdout);
    }
    if (!clients_.listen(options_.bind, options_.port, error)) return false;
    if (options_.discoveryPort >= 0 && !discovery_.open(options_.bind, options_.discoveryPort, error))
        return false;
    if (!watchSignals() || !clock_.open() || !poller_.open()) {
        error = std::string("cannot make the event descriptors: ") + std::strerror(errno);
        return false;
    }
    const std::pair<int, Watched> watched[] = {{clients_.listenFd(), Watched::Listen},
                                               {discovery_.fd(), Watched::Discovery},
                                               {clock_.fd(), Watched::Timer},
                                               {signals_.get(), Watched::Signals}};
    for (const auto& [fd, what] : watched) {
        if (fd >= 0 && !poller_.add(fd, what, EPOLLIN)) {
            error = std::string("cannot watch the server's descriptors: ") + std::strerror(errno);
            return false;
        }
    }
    const std::string discovery = discovery_.port() >= 0
                                      ? "discovery on udp port " + std::to_string(discovery_.port())
                                      : "discovery off";
    std::printf("vekd: serving \"%s\" on %s:%d, %s, %g Hz\n", options_.name.c_str(), options_.bind.c_str(),
                clients_.port(), discovery.c_str(), clock_.frequency());
    if (!key_.empty())
        std::printf("vekd: %s\n", options_.observersWithoutKey
                                      ? "clients need the lab key; slaves may watch without it"
                                      : "every client needs the lab key");
    std::fflush(stdout);
    clock_.schedule();
    return true;
}

// SIGINT and SIGTERM arrive as reads of a descriptor; a client gone while
// its answer is written is a failed write, not SIGPIPE.
bool Server::watchSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signals_.reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    signal(SIGPIPE, SIG_IGN);
    return signals_.valid();
}

int Server::run() {
    epoll_event events[64];
    for (;;) {
        const int n = poller_.wait(events, 64, waitUs());
        if (n < 0 && errno != EINTR) return 1;
        for (int i = 0; i < n; ++i) {
            switch (Poller::what(events[i])) {
                case Watched::Listen:
                    clients_.accept();
                    break;
                case Watched::Discovery:
                    discovery_.answer(clients_.port(), description());
                    break;
                case Watched::Timer:
                    if (!clock_.tick()) {
                        stopAll();
                        return 0;
                    }
                    break;
                case Watched::Signals:
                    stopAll();
                    return 0;
                case Watched::Client:
                    if (ClientConn* c = clients_.find(Poller::id(events[i]))) {
                        if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) requests_.read(*c);
                        if (c->fd.valid() && (events[i].events & EPOLLOUT)) clients_.flush(*c);
                    }
                    break;
            }
        }
        tidy();
    }
}

void Server::tidy() {
    if (clients_.releaseDueUs() >= 0) {
        fed_.clear();
        clients_.release(nowUs(), fed_);
        for (ClientConn* c : fed_)
            if (c->fd.valid()) requests_.answer(*c);
    }
    const long long nowMs = nowUs() / 1000;
    clients_.tidy(nowMs);
    logRepeats(nowMs);
}

void Server::logRepeats(long long nowMs) {
    clock_.logRepeats(nowMs);
    clients_.logRepeats(nowMs);
    std::fputs(attempts_.takeCounts(nowMs).c_str(), stdout);
    std::fflush(stdout);
}

long long Server::waitUs() const {
    const long long atMs = earliestMs(earliestMs(clock_.dueMs(), clients_.dueMs()), attempts_.dueMs());
    const long long now = nowUs();
    long long wait = atMs < 0 ? 1000000 : std::clamp(atMs * 1000 - now, 0LL, 1000000LL);
    if (const long long release = clients_.releaseDueUs(); release >= 0)
        wait = std::clamp(release - now, 0LL, wait);
    return wait;
}

std::string Server::description() const {
    return "vekd 1.0 " + std::to_string(source_->cameras().size()) + " cameras " +
           std::to_string(static_cast<int>(clock_.frequency())) + " Hz  " + options_.name;
}

void Server::stopAll() {
    clients_.stopAll();
    logRepeats(LLONG_MAX / 2);  // whatever is still counted, told now
    if (clock_.framesSkipped() > 0)
        std::printf("vekd: %lld frames skipped in all: not made in time\n", clock_.framesSkipped());
    std::printf("vekd: stopped\n");
    std::fflush(stdout);
}

}  // namespace vekd
