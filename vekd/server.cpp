#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "printable_text.h"

namespace vekd {

namespace {

enum Tag : uint64_t { kListen = 1, kUdp, kTimer, kSignals, kClient };
constexpr long long kHelloLimitMs = 5000;
// What one client may send per turn of the loop: a hundred requests. The
// rest waits for the next turn, after the frame timer has had its own.
constexpr size_t kReadPerTurn = 4 << 10;
constexpr int kQueriesPerTurn = 16;  // discovery queries answered per turn
// A frame schedule this late (the process was stopped, the machine was
// overloaded) skips the frames it missed instead of sending them all.
constexpr long long kStallUs = 100000;
// Frames made in one turn of the loop at most, when frames take longer
// than their period: between them the loop answers its clients.
constexpr long long kFramesPerTurn = 4;
// How long the listening socket rests when accepting fails for want of
// descriptors or memory, instead of waking the loop again at once.
constexpr long long kAcceptPauseMs = 100;

long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint64_t tag(Tag kind, uint32_t id = 0) { return (uint64_t{kind} << 32) | id; }

bool bindAddress(const std::string& host, int port, sockaddr_in& a) {
    a = sockaddr_in{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    return inet_pton(AF_INET, host.c_str(), &a.sin_addr) == 1;
}

int boundPort(int fd) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

}  // namespace

Server::Server(Options options, std::unique_ptr<FrameSource> source)
    : options_(std::move(options)), source_(std::move(source)), frequency_(options_.frequency) {}

Server::~Server() = default;

bool Server::start(std::string& error) {
    sockaddr_in addr;
    if (!bindAddress(options_.bind, options_.port, addr)) {
        error = "not an IPv4 address: " + options_.bind;
        return false;
    }
    listen_.reset(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listen_.valid()) {
        error = std::string("cannot make a socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    setsockopt(listen_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listen_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listen_.get(), 64) != 0) {
        error = "cannot listen on " + options_.bind + ":" + std::to_string(options_.port) + ": " +
                std::strerror(errno);
        return false;
    }
    port_ = boundPort(listen_.get());

    discoveryPort_ = -1;
    if (options_.discoveryPort >= 0) {
        bindAddress(options_.bind, options_.discoveryPort, addr);
        udp_.reset(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!udp_.valid() || bind(udp_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            std::printf("vekd: warning: discovery off: udp port %d: %s\n", options_.discoveryPort,
                        std::strerror(errno));
            udp_.reset();
        } else {
            discoveryPort_ = boundPort(udp_.get());
        }
    }

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signals_.reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    signal(SIGPIPE, SIG_IGN);
    timer_.reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    epoll_.reset(epoll_create1(EPOLL_CLOEXEC));
    if (!signals_.valid() || !timer_.valid() || !epoll_.valid()) {
        error = std::string("cannot make the event descriptors: ") + std::strerror(errno);
        return false;
    }
    const std::pair<int, Tag> watched[] = {
        {listen_.get(), kListen}, {udp_.get(), kUdp}, {timer_.get(), kTimer}, {signals_.get(), kSignals}};
    for (const auto& [fd, kind] : watched) {
        if (fd < 0) continue;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = tag(kind);
        epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &ev);
    }
    const std::string discovery =
        discoveryPort_ >= 0 ? "discovery on udp port " + std::to_string(discoveryPort_) : "discovery off";
    std::printf("vekd: serving \"%s\" on %s:%d, %s, %g Hz\n", options_.name.c_str(), options_.bind.c_str(),
                port_, discovery.c_str(), frequency_);
    std::fflush(stdout);
    schedule();
    return true;
}

int Server::run() {
    epoll_event events[64];
    for (;;) {
        const int n = epoll_wait(epoll_.get(), events, 64, waitMs());
        if (n < 0 && errno != EINTR) return 1;
        for (int i = 0; i < n; ++i) {
            const uint64_t t = events[i].data.u64;
            switch (static_cast<Tag>(t >> 32)) {
                case kListen:
                    accept();
                    break;
                case kUdp:
                    answerDiscovery();
                    break;
                case kTimer:
                    onTimer();
                    if (sourceEnded_) {
                        stopAll();
                        return 0;
                    }
                    break;
                case kSignals:
                    stopAll();
                    return 0;
                case kClient:
                    for (auto& c : clients_) {
                        if (c->id != static_cast<uint32_t>(t) || !c->fd.valid()) continue;
                        if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) readClient(*c);
                        if (c->fd.valid() && (events[i].events & EPOLLOUT)) {
                            if (!c->flush())
                                drop(*c, "write failed");
                            else
                                watchWrites(*c);
                        }
                    }
                    break;
            }
        }
        tidy();
    }
}

void Server::tidy() {
    const long long nowMs = nowUs() / 1000;
    for (auto& c : clients_)
        if (c->fd.valid() && !c->admitted && nowMs - c->connectedMs > kHelloLimitMs) drop(*c, "no greeting");
    removeClosed();
    if (acceptResumeMs_ >= 0 && nowMs >= acceptResumeMs_) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = tag(kListen);
        epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, listen_.get(), &ev);
        acceptResumeMs_ = -1;
    }
    logRepeats(nowMs);
}

void Server::logRepeats(long long nowMs) {
    if (const long long n = frequencyChanges_.takeRepeats(nowMs))
        std::printf("frequency %g Hz (%lld changes)\n", frequency_, n);
    if (const long long n = acceptFailures_.takeRepeats(nowMs))
        std::printf("vekd: cannot accept clients: %lld more failures\n", n);
    if (const long long n = skippedFrames_.takeRepeats(nowMs))
        std::printf("vekd: warning: %lld more frames skipped: not made in time\n", n);
    std::fflush(stdout);
}

int Server::waitMs() const {
    long long wait = 1000;
    const long long nowMs = nowUs() / 1000;
    for (const long long at :
         {acceptResumeMs_, frequencyChanges_.dueMs(), acceptFailures_.dueMs(), skippedFrames_.dueMs()})
        if (at >= 0) wait = std::min(wait, std::max(0LL, at - nowMs));
    return static_cast<int>(wait);
}

void Server::pauseAccepting(int err) {
    epoll_event ev{};  // no events: the listening socket rests
    ev.data.u64 = tag(kListen);
    epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, listen_.get(), &ev);
    const long long nowMs = nowUs() / 1000;
    acceptResumeMs_ = nowMs + kAcceptPauseMs;
    if (acceptFailures_.occur(nowMs)) {
        std::printf("vekd: cannot accept clients: %s; trying again every %lld ms\n", std::strerror(err),
                    kAcceptPauseMs);
        std::fflush(stdout);
    }
}

void Server::accept() {
    for (;;) {
        vekwire::UniqueFd accepted(accept4(listen_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        const int fd = accepted.get();
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                pauseAccepting(errno);
            return;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<ClientConn>();
        c->fd = std::move(accepted);
        c->id = nextClientId_++;
        c->connectedMs = nowUs() / 1000;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = tag(kClient, c->id);
        epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &ev);
        clients_.push_back(std::move(c));
    }
}

void Server::watchWrites(ClientConn& c) {
    if (!c.fd.valid()) return;
    if (c.closing && c.queued() == 0) {
        drop(c, "refused");
        return;
    }
    epoll_event ev{};
    ev.events = EPOLLIN | (c.queued() > 0 ? EPOLLOUT : 0u);
    ev.data.u64 = tag(kClient, c.id);
    epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, c.fd.get(), &ev);
}

void Server::readClient(ClientConn& c) {
    uint8_t buf[kReadPerTurn];
    ssize_t n;
    do {
        n = recv(c.fd.get(), buf, sizeof buf, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
        drop(c, "connection closed");
        return;
    }
    c.reader.feed(buf, static_cast<size_t>(n));
    std::string out;
    vekwire::Message m;
    int r = 0;
    while (c.fd.valid() && (r = c.reader.next(m)) == 1) handle(c, m, out);
    if (!c.fd.valid()) return;
    if (r < 0) {
        drop(c, c.reader.error().c_str());
        return;
    }
    if (!out.empty() && !post(c, out)) return;
    watchWrites(c);
}

void Server::handle(ClientConn& c, const vekwire::Message& m, std::string& out) {
    std::string error;
    if (c.closing) return;
    if (!c.admitted) {
        vekwire::Hello hello;
        if (m.kind != vekwire::Kind::Hello || !vekwire::decodeHello(m.data, m.size, hello, error)) {
            drop(c, error.empty() ? "no greeting" : error.c_str());
            return;
        }
        admit(c, hello, out);
        return;
    }
    if (m.kind == vekwire::Kind::Bye) {
        drop(c, "said goodbye");
        return;
    }
    vekwire::Request r;
    if (m.kind != vekwire::Kind::Request || !vekwire::decodeRequest(m.data, m.size, r, error)) {
        drop(c, error.empty() ? "unexpected message" : error.c_str());
        return;
    }
    serve(c, r, out);
}

void Server::admit(ClientConn& c, const vekwire::Hello& hello, std::string& out) {
    vekwire::Welcome w;
    w.clientId = c.id;
    w.flags = hello.flags;
    w.frequency = frequency_;
    w.name = options_.name;
    const bool slave = hello.flags & VEK_SLAVE;
    // A master that just said goodbye may not have been read yet.
    if (!slave)
        for (auto& other : clients_)
            if (other->fd.valid() && other->master) readClient(*other);
    int admitted = 0;
    bool masterPresent = false;
    for (const auto& other : clients_) {
        if (!other->fd.valid() || !other->admitted) continue;
        ++admitted;
        masterPresent |= other->master;
    }
    if (hello.version != vekwire::kVersion)
        w.result = VEK_ERR_PROTOCOL;
    else if (admitted >= options_.maxClients)
        w.result = VEK_ERR_TOO_MANY_CLIENTS;
    else if (!slave && masterPresent)
        w.result = VEK_ERR_MASTER_BUSY;

    vekwire::encodeWelcome(out, w);
    const std::string label = vekwire::printable(hello.label);
    if (w.result != 0) {
        std::printf("client %u refused: flags 0x%x %s (code 0x%x)\n", c.id, hello.flags, label.c_str(),
                    w.result);
        c.closing = true;
    } else {
        c.admitted = true;
        c.master = !slave;
        c.flags = hello.flags;
        c.label = hello.label;
        std::printf("client %u connected: flags 0x%x %s %s\n", c.id, hello.flags,
                    c.master ? "master" : "slave", label.c_str());
        const auto& cams = source_->cameras();
        vekwire::encodeCameras(out, cams.data(), static_cast<uint32_t>(cams.size()));
    }
    std::fflush(stdout);
}

void Server::serve(ClientConn& c, const vekwire::Request& r, std::string& out) {
    using vekwire::Op;
    int code = VEK_INVALID_ENUM;
    const bool trackerOp = r.op == Op::TrackerCreate || r.op == Op::TrackerOp || r.op == Op::TrackerParam ||
                           r.op == Op::MarkerInt || r.op == Op::MarkerFloat;
    if (trackerOp && !c.master) {
        code = VEK_INVALID_OPERATION;
    } else {
        switch (r.op) {
            case Op::SetInteger:
                code = setInteger(c, r.key, r.value);
                break;
            case Op::SetFloat:
                code = r.key == VEK_FREQUENCY ? setFrequency(c, r.f[0]) : VEK_INVALID_ENUM;
                break;
            case Op::TrackerCreate:
                code = trackers_.create(r.target, r.key, r.value);
                break;
            case Op::TrackerOp:
                code = trackers_.operate(r.target, r.value);
                break;
            case Op::TrackerParam:
                code = trackers_.setParam(r.target, r.key, r.f[0]);
                break;
            case Op::MarkerInt:
                code = trackers_.setMarkerLed(r.target, r.key, r.value);
                break;
            case Op::MarkerFloat:
                code = trackers_.setMarkerPosition(r.target, r.key, r.f);
                break;
            case Op::RpdClose:
                code = 0;
                break;
        }
    }
    vekwire::Reply reply;
    reply.seq = r.seq;
    reply.code = code;
    reply.fvalue = frequency_;
    vekwire::encodeReply(out, reply);
}

int Server::setInteger(ClientConn& c, int key, int value) {
    const bool onOff = value == VEK_ON || value == VEK_OFF;
    switch (key) {
        case VEK_STREAMING:
            if (!onOff) return VEK_INVALID_ENUM;
            c.streaming = value == VEK_ON;
            if (c.streaming && resting_) {
                passDueFrames();
                schedule();
            }
            return 0;
        case VEK_INTERPOLATION:
            if (!c.master) return VEK_INVALID_OPERATION;
            if (value < 0) return VEK_INVALID_VALUE;
            c.interpolation = value;
            return 0;
        case VEK_MARKERS:
        case VEK_RIGIDS:
        case VEK_IMAGES:
        case VEK_DETECTORS: {
            if (!onOff) return VEK_INVALID_ENUM;
            const uint32_t bit = vek_stream_bit(vek_stream_index(key));
            c.streams = value == VEK_ON ? c.streams | bit : c.streams & ~bit;
            return 0;
        }
        case VEK_PEAK_LEDS:
            if (!onOff) return VEK_INVALID_ENUM;
            if (!source_->knowsPeakLeds()) return VEK_INVALID_OPERATION;
            c.peakLeds = value == VEK_ON;
            return 0;
        default:
            return VEK_INVALID_ENUM;
    }
}

int Server::setFrequency(ClientConn& c, float hz) {
    if (!c.master) return VEK_INVALID_OPERATION;
    if (!validFrequency(hz)) return VEK_INVALID_VALUE;
    if (hz == frequency_) return 0;
    // Frames due so far are passed or skipped at the rate they were due at.
    if (resting_ || idle())
        passDueFrames();
    else
        skipStalledFrames(nowUs());
    frequency_ = hz;
    rate_.rateSet();
    if (frequencyChanges_.occur(nowUs() / 1000)) {
        std::printf("frequency %g Hz\n", hz);
        std::fflush(stdout);
    }
    schedule();
    std::string out;
    vekwire::encodeState(out, frequency_);
    for (auto& other : clients_)
        if (other->fd.valid() && other->admitted && other.get() != &c) post(*other, out);
    return 0;
}

bool Server::post(ClientConn& c, const std::string& message) {
    // Every message counts against the queue: frames are dropped at the
    // limit, and a client whose queue grows to twice the limit with what
    // may not be dropped is not reading at all.
    if (!c.send(message))
        drop(c, "write failed");
    else if (c.queued() > 2 * options_.queueBytes)
        drop(c, "does not read what it is sent");
    else if (c.queued() > 0)
        watchWrites(c);
    return c.fd.valid();
}

void Server::drop(ClientConn& c, const char* why) {
    if (!c.fd.valid()) return;
    epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, c.fd.get(), nullptr);
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

void Server::removeClosed() {
    std::erase_if(clients_, [](const auto& c) { return !c->fd.valid(); });
}

void Server::armTimer(long long atUs) {
    itimerspec when{};  // all zero disarms
    if (atUs >= 0) {
        when.it_value.tv_sec = atUs / 1000000;
        when.it_value.tv_nsec = (atUs % 1000000) * 1000 + 1;
    }
    timerfd_settime(timer_.get(), TFD_TIMER_ABSTIME, &when, nullptr);
}

void Server::schedule() {
    // The next frame comes one new period after the last one (at once when
    // that has passed): however often the frequency changes, frames never
    // come faster than it says.
    const long long now = nowUs();
    scheduleStartUs_ = now;
    if (frequency_ > 0 && lastFrameUs_ >= 0)
        scheduleStartUs_ = std::max(now, lastFrameUs_ + std::llround(1e6 / frequency_));
    framesScheduled_ = 0;
    resting_ = false;
    armTimer(frequency_ > 0 ? scheduleStartUs_ : -1);
}

void Server::onTimer() {
    uint64_t expirations;
    if (read(timer_.get(), &expirations, sizeof expirations) < 0 || frequency_ <= 0) return;
    if (idle()) {
        passDueFrames();
        resting_ = true;  // until a client streams or the rate changes
        rate_.pause();
        armTimer(-1);
        return;
    }
    const double periodUs = 1e6 / frequency_;
    const long long now = nowUs();
    // Every frame that is due, so the rate holds on average.
    skipStalledFrames(now);
    const long long due = static_cast<long long>(std::floor((now - scheduleStartUs_) / periodUs)) + 1;
    for (long long made = 0; framesScheduled_ < due && made < kFramesPerTurn && !sourceEnded_; ++made) {
        generateFrame();
        ++framesScheduled_;
    }
    removeClosed();
    const long long nextUs =
        scheduleStartUs_ + static_cast<long long>(std::ceil(framesScheduled_ * periodUs));
    armTimer(nextUs);
}

void Server::skipStalledFrames(long long now) {
    if (frequency_ <= 0) return;
    const double periodUs = 1e6 / frequency_;
    if (now - scheduleStartUs_ - framesScheduled_ * periodUs <= kStallUs) return;
    if (!source_->makesFramesOnDemand()) {
        scheduleStartUs_ = now;
        framesScheduled_ = 0;
        return;
    }
    const long long dueNow = static_cast<long long>(std::floor((now - scheduleStartUs_) / periodUs));
    const long long skipped = dueNow - framesScheduled_;
    for (; framesScheduled_ < dueNow; ++framesScheduled_) passFrame();
    framesSkipped_ += skipped;
    if (skippedFrames_.occur(now / 1000, skipped)) {
        std::printf("vekd: warning: %lld frames skipped: not made in time\n", skipped);
        std::fflush(stdout);
    }
}

bool Server::idle() const {
    if (!source_->makesFramesOnDemand()) return false;
    for (const auto& c : clients_)
        if (c->fd.valid() && c->admitted && c->streaming) return false;
    return true;
}

void Server::passDueFrames() {
    if (frequency_ <= 0) return;
    const double periodUs = 1e6 / frequency_;
    const long long due = static_cast<long long>(std::floor((nowUs() - scheduleStartUs_) / periodUs)) + 1;
    if (framesScheduled_ >= due) return;
    for (; framesScheduled_ < due; ++framesScheduled_) passFrame();
    lastFrameUs_ = scheduleStartUs_ + static_cast<long long>(std::ceil((framesScheduled_ - 1) * periodUs));
}

// A frame nobody takes: numbered and timed as if it had been made.
void Server::passFrame() {
    ++frameNumber_;
    sceneTime_ += 1.0 / frequency_;
}

void Server::generateFrame() {
    if (!source_->generate(frameNumber_ + 1, sceneTime_, trackers_, frame_)) {
        sourceEnded_ = true;
        std::printf("vekd: %s\n", source_->endMessage().c_str());
        std::fflush(stdout);
        return;
    }
    passFrame();

    const void* data[vekwire::kStreamCount] = {frame_.markers.data(), frame_.rigids.data(),
                                               frame_.images.data(), frame_.detectors.data()};
    const size_t sizes[vekwire::kStreamCount] = {frame_.markers.size(), frame_.rigids.size(),
                                                 frame_.images.size(), frame_.detectors.size()};
    for (int s = 0; s < vekwire::kStreamCount; ++s) {
        sections_[s].clear();
        const auto n = static_cast<uint32_t>(std::min<size_t>(sizes[s], vekwire::kMaxRecords[s]));
        vekwire::encodeSection(sections_[s], data[s], n, vekwire::kRecordSize[s]);
    }
    bool peakLeds = false;
    for (const auto& c : clients_)
        peakLeds |= c->fd.valid() && c->streaming && c->peakLeds && (c->streams & VEK_IMAGE_BIT);
    if (peakLeds) encodePeaksWithLeds(frame_, VEK_MAX_IMAGES, peakLedScratch_, peakLedSection_);

    vekwire::FrameHeader h;
    h.frame = frameNumber_;
    h.frequency = frequency_;
    h.generatedUs = nowUs();
    lastFrameUs_ = h.generatedUs;
    if (const double held = rate_.frameMade(h.generatedUs, frequency_)) {
        std::printf("vekd: warning: frames take longer to make than %g Hz allows: %.0f Hz held\n", frequency_,
                    held);
        std::fflush(stdout);
    }
    for (auto& c : clients_) {
        if (!c->fd.valid() || !c->admitted || !c->streaming) continue;
        h.mask = 0;
        h.serverDropped = c->dropped;
        iovec parts[1 + vekwire::kStreamCount];
        int count = 1;
        size_t sectionBytes = 0;
        for (int s = 0; s < vekwire::kStreamCount; ++s) {
            if (!(c->streams & vek_stream_bit(s))) continue;
            h.mask |= vek_stream_bit(s);
            std::string& section =
                s == vek_stream_index(VEK_IMAGES) && c->peakLeds ? peakLedSection_ : sections_[s];
            parts[count++] = {section.data(), section.size()};
            sectionBytes += section.size();
        }
        std::string header;
        vekwire::encodeFrameHeader(header, h, sectionBytes);
        parts[0] = {header.data(), header.size()};
        if (!c->send(parts, count, header.size() + sectionBytes, true, options_.queueBytes))
            drop(*c, "write failed");
        else if (c->queued() > 0)
            watchWrites(*c);
    }
}

void Server::answerDiscovery() {
    for (int turn = 0; turn < kQueriesPerTurn; ++turn) {
        uint8_t buf[vekwire::kScanQuerySize + 1];  // the byte more tells a longer datagram
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = recvfrom(udp_.get(), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        // A well-formed query is as long as the answer: an answer never
        // carries more bytes to an address than came from it.
        std::string label;
        if (!vekwire::decodeScanQuery(buf, static_cast<size_t>(n), label)) continue;

        std::string host = options_.bind;
        if (host == "0.0.0.0") {  // the address the asker reaches us at
            const vekwire::UniqueFd socket_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
            const int probe = socket_.get();
            sockaddr_in local{};
            socklen_t llen = sizeof local;
            char text[INET_ADDRSTRLEN] = "127.0.0.1";
            if (connect(probe, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                getsockname(probe, reinterpret_cast<sockaddr*>(&local), &llen) == 0)
                inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
            host = text;
        }
        if (port_ != VEK_DEFAULT_PORT) host += ":" + std::to_string(port_);
        const std::string description = "vekd 1.0 " + std::to_string(source_->cameras().size()) +
                                        " cameras " + std::to_string(static_cast<int>(frequency_)) + " Hz  " +
                                        options_.name;
        VEKScanEntry e{};
        std::snprintf(e.host, sizeof e.host, "%s", host.c_str());
        std::snprintf(e.description, sizeof e.description, "%s", description.c_str());
        const std::string answer = vekwire::encodeScanAnswer(e);
        sendto(udp_.get(), answer.data(), answer.size(), MSG_DONTWAIT,
               reinterpret_cast<const sockaddr*>(&from), len);
    }
}

void Server::stopAll() {
    std::string bye;
    vekwire::encodeBye(bye, VEK_SERVER_STOPPED);
    for (auto& c : clients_) {
        if (!c->fd.valid()) continue;
        if (c->admitted) {
            c->send(bye);
            // Give a slow reader a moment to take the goodbye.
            for (int i = 0; i < 20 && c->queued() > 0 && c->flush(); ++i) usleep(5000);
        }
        drop(*c, "server stopping");
    }
    logRepeats(LLONG_MAX / 2);  // whatever is still counted, told now
    if (framesSkipped_ > 0)
        std::printf("vekd: %lld frames skipped in all: not made in time\n", framesSkipped_);
    std::printf("vekd: stopped\n");
    std::fflush(stdout);
}

}  // namespace vekd
