#include "raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace testsupport {

using namespace vekwire;
using Clock = std::chrono::steady_clock;

namespace {

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

std::string requestBytes(uint32_t seq, Op op, int target, int key, int value, float f) {
    Request r;
    r.seq = seq;
    r.op = op;
    r.target = target;
    r.key = key;
    r.value = value;
    r.f[0] = f;
    std::string out;
    encodeRequest(out, r);
    return out;
}

RawClient::RawClient(int port) : RawClient(port, "127.0.0.1") {}

RawClient::RawClient(int port, const std::string& host, const std::string& from) {
    fd_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (!from.empty()) {
        inet_pton(AF_INET, from.c_str(), &a.sin_addr);
        if (bind(fd_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return;
    }
    a.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    connected_ = connect(fd_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

void RawClient::close() { fd_.reset(); }

void RawClient::write(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

std::string RawClient::greet(int flags, const std::string& label) {
    std::string out;
    Hello h;
    h.flags = flags;
    h.label = label;
    encodeHello(out, h);
    write(out);
    return out.substr(kHeaderSize);
}

int RawClient::welcomeResult() {
    Kind kind;
    std::string payload, error;
    Welcome w;
    if (!read(kind, payload) || kind != Kind::Welcome ||
        !decodeWelcome(bytes(payload), payload.size(), w, error))
        return -1;
    return w.result;
}

int RawClient::hello(int flags, const std::string& label) {
    greet(flags, label);
    return welcomeResult();
}

int RawClient::helloWithKey(const LabKey* key, int flags, const std::string& label, std::string* proof) {
    const std::string greeting = greet(flags, label);
    Kind kind;
    std::string payload, error;
    Challenge c;
    if (!read(kind, payload) || kind != Kind::Challenge ||
        !decodeChallenge(bytes(payload), payload.size(), c, error))
        return -1;
    Proof p;
    p.present = key != nullptr;
    if (key) key->prove(c.nonce, bytes(greeting), greeting.size(), p.mac);
    std::string sent;
    encodeProof(sent, p);
    write(sent);
    if (proof) *proof = sent;
    return welcomeResult();
}

int RawClient::request(Op op, int target, int key, int value, float f) {
    write(requestBytes(++seq_, op, target, key, value, f));
    Kind kind;
    std::string payload;
    while (read(kind, payload)) {
        if (kind == Kind::Frame) ++framesSkipped_;
        if (kind != Kind::Reply) continue;
        Reply rep;
        std::string error;
        decodeReply(bytes(payload), payload.size(), rep, error);
        if (rep.seq == seq_) return rep.code;
    }
    return -1;
}

bool RawClient::replies(int count) {
    Kind kind;
    std::string payload;
    while (count > 0 && read(kind, payload)) {
        if (kind == Kind::Frame) ++framesSkipped_;
        count -= kind == Kind::Reply;
    }
    return count == 0;
}

bool RawClient::read(Kind& kind, std::string& payload, int timeoutMs) {
    for (;;) {
        Message m;
        const int r = reader_.next(m);
        if (r == 1) {
            kind = m.kind;
            payload.assign(reinterpret_cast<const char*>(m.data), m.size);
            return true;
        }
        if (r < 0) return false;
        pollfd p{fd_.get(), POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char buf[65536];
        const ssize_t n = ::recv(fd_.get(), buf, sizeof buf, 0);
        if (n <= 0) return false;
        reader_.feed(buf, static_cast<size_t>(n));
    }
}

bool RawClient::frames(int count, std::vector<int>& numbers, std::map<int, std::string>* markers) {
    Kind kind;
    std::string payload;
    while (count > 0 && read(kind, payload)) {
        if (kind != Kind::Frame) continue;
        FrameView f;
        std::string error;
        if (!decodeFrame(bytes(payload), payload.size(), f, error)) return false;
        numbers.push_back(f.header.frame);
        if (markers && f.count[VEK_MARKER_STREAM])
            (*markers)[f.header.frame].assign(reinterpret_cast<const char*>(f.records[VEK_MARKER_STREAM]),
                                              f.count[VEK_MARKER_STREAM] * sizeof(MarkerRecord));
        --count;
    }
    return count == 0;
}

FrameArrivals RawClient::watch(double seconds) {
    FrameArrivals seen;
    const auto start = Clock::now();
    double last = 0;
    for (;;) {
        const double left = seconds - since(start);
        if (left <= 0) break;
        Kind kind;
        std::string payload;
        if (!read(kind, payload, std::max(1, static_cast<int>(left * 1000))) || kind != Kind::Frame) continue;
        const double at = since(start);
        if (at > seconds) break;
        ++seen.frames;
        seen.firstTenth += at < 0.1;
        seen.longestGap = std::max(seen.longestGap, at - last);
        last = at;
    }
    seen.longestGap = std::max(seen.longestGap, seconds - last);
    return seen;
}

void floodRequests(int port, const std::atomic<bool>& stop) {
    RawClient c(port);
    if (c.hello(VEK_SLAVE) != 0) return;
    std::string batch;
    for (uint32_t seq = 1; seq <= 1000; ++seq)
        batch += requestBytes(seq, Op::SetInteger, 0, VEK_MARKERS, VEK_ON);
    size_t at = 0;
    char sink[65536];
    while (!stop) {
        pollfd p{c.fd(), POLLIN | POLLOUT, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        if (p.revents & (POLLERR | POLLHUP)) return;
        if (p.revents & POLLIN && ::recv(c.fd(), sink, sizeof sink, MSG_DONTWAIT) == 0) return;
        if (p.revents & POLLOUT) {
            const ssize_t n =
                ::send(c.fd(), batch.data() + at, batch.size() - at, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) at = (at + static_cast<size_t>(n)) % batch.size();
        }
    }
}

}  // namespace testsupport
