#include "scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "wire.h"

namespace testsupport {

namespace {

constexpr int kPatienceMs = 5000;

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

void sendAll(int fd, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

using Deadline = std::chrono::steady_clock::time_point;
Deadline inMs(int ms) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); }

// The next whole message that is not a time request, by `deadline`; a
// time request is answered as a server without the exchange does (a reply
// of code VEK_INVALID_ENUM). False when none came.
bool nextMessage(int fd, vekwire::Reader& reader, Deadline deadline) {
    char buf[BUFSIZ];
    for (;;) {
        vekwire::Message m;
        const int r = reader.next(m);
        if (r < 0) return false;
        if (r == 1) {
            vekwire::Request q;
            std::string error;
            if (m.kind != vekwire::Kind::Request || !vekwire::decodeRequest(m.data, m.size, q, error) ||
                q.op != vekwire::Op::TimeExchange)
                return true;
            std::string reply;
            vekwire::encodeReply(reply, vekwire::Reply{q.seq, VEK_INVALID_ENUM, 0, 0});
            sendAll(fd, reply);
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readable(fd, static_cast<int>(left.count()))) return false;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        reader.feed(buf, static_cast<size_t>(n));
    }
}

}  // namespace

ScriptedPeer::ScriptedPeer(std::vector<std::string> answers, std::string later) {
    listen_.reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(listen_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listen_.get(), 1) != 0 ||
        getsockname(listen_.get(), reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        throw std::runtime_error("scripted peer cannot listen");
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread(&ScriptedPeer::serve, this, std::move(answers), std::move(later));
}

ScriptedPeer::~ScriptedPeer() { thread_.join(); }

std::string ScriptedPeer::address() const { return "127.0.0.1:" + std::to_string(port_); }

void ScriptedPeer::serve(std::vector<std::string> answers, std::string later) {
    if (!readable(listen_.get(), kPatienceMs)) return;
    const vekwire::UniqueFd accepted(accept(listen_.get(), nullptr, nullptr));
    const int fd = accepted.get();
    if (fd < 0) return;
    vekwire::Reader reader;
    char buf[BUFSIZ];
    for (const std::string& answer : answers) {
        if (!nextMessage(fd, reader, inMs(kPatienceMs))) break;
        sendAll(fd, answer);
    }
    if (!later.empty()) {
        const Deadline pause = inMs(200);
        while (nextMessage(fd, reader, pause)) {
        }
        sendAll(fd, later);
    }
    // Close only once the client has: unread bytes would turn the close
    // into a reset that can overtake what was sent.
    shutdown(fd, SHUT_WR);
    while (readable(fd, kPatienceMs) && recv(fd, buf, sizeof buf, 0) > 0) {
    }
}

}  // namespace testsupport
