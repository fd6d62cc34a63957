// The greeting: Hello, then the server's Welcome, or with a lab key its
// Challenge, this client's Proof and then the Welcome (docs/protocol.md).
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>

#include "net.h"
#include "session.h"

namespace veksock {

int Session::handshake(const vekwire::Hello& hello, const vekwire::LabKey* key, long long deadlineMs,
                       vekwire::Welcome& welcome, std::string& why) {
    out_.clear();
    vekwire::encodeHello(out_, hello);
    const std::string helloPayload = out_.substr(vekwire::kHeaderSize);
    if (!sendAll(out_))
        return !errors_.empty() && errors_.back() == VEK_ERR_TIMED_OUT ? VEK_ERR_TIMED_OUT : VEK_ERR_REFUSED;
    bool heard = false;  // a byte came back: whatever goes wrong now, the peer is there
    bool challenged = false;
    for (;;) {
        vekwire::Message m;
        const int r = reader_.next(m);
        if (r < 0) {
            why = reader_.error();
            return VEK_ERR_PROTOCOL;
        }
        if (r == 1 && m.kind == vekwire::Kind::Challenge && !challenged) {
            challenged = true;
            if (prove(m, key, helloPayload, why)) continue;
            return !errors_.empty() && errors_.back() == VEK_ERR_TIMED_OUT ? VEK_ERR_TIMED_OUT
                                                                           : VEK_ERR_PROTOCOL;
        }
        if (r == 1) {
            if (m.kind != vekwire::Kind::Welcome)
                why = "message kind " + std::to_string(static_cast<int>(m.kind)) + " where a welcome was due";
            else if (vekwire::decodeWelcome(m.data, m.size, welcome, why))
                return 0;
            return VEK_ERR_PROTOCOL;
        }
        const int left = millisecondsLeft(deadlineMs);
        pollfd p{fd_.get(), POLLIN, 0};
        if (left == 0 || poll(&p, 1, left) <= 0) return VEK_ERR_TIMED_OUT;
        uint8_t buf[512];
        const ssize_t n = recv(fd_.get(), buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            heard = true;
            reader_.feed(buf, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            why = "the connection closed before a whole welcome";
            return heard ? VEK_ERR_PROTOCOL : VEK_ERR_REFUSED;
        }
    }
}

bool Session::prove(const vekwire::Message& challenge, const vekwire::LabKey* key,
                    const std::string& helloPayload, std::string& why) {
    vekwire::Challenge c;
    if (!vekwire::decodeChallenge(challenge.data, challenge.size, c, why)) return false;
    vekwire::Proof proof;
    proof.present = key != nullptr;
    if (key)
        key->prove(c.nonce, reinterpret_cast<const uint8_t*>(helloPayload.data()), helloPayload.size(),
                   proof.mac);
    out_.clear();
    vekwire::encodeProof(out_, proof);
    return sendAll(out_);
}

}  // namespace veksock
