// The greeting: a Hello, answered by a Welcome, or, when vekd has a lab
// key, by a Challenge whose Proof decides. Failed proofs count against the
// peer's address; an address over the limit is refused without a check.
#include <cstdio>
#include <cstring>

#include "monotonic_time.h"
#include "printable_text.h"
#include "requests.h"

namespace vekd {

void Requests::greet(ClientConn& c, const vekwire::Message& m, std::string& out) {
    std::string error;
    if (c.challenged) {
        vekwire::Proof proof;
        if (m.kind != vekwire::Kind::Proof || !vekwire::decodeProof(m.data, m.size, proof, error)) {
            clients_.drop(c, error.empty() ? "no proof" : error.c_str());
            return;
        }
        checkProof(c, proof, out);
        return;
    }
    if (m.kind != vekwire::Kind::Hello || !vekwire::decodeHello(m.data, m.size, c.greeting, error)) {
        clients_.drop(c, error.empty() ? "no greeting" : error.c_str());
        return;
    }
    const uint16_t version = c.greeting.version;
    if (version < vekwire::kOldestVersion || version > vekwire::kVersion) {
        refuse(c, VEK_ERR_PROTOCOL, "", out);
        return;
    }
    if (key_.empty()) {
        admit(c, out);
        return;
    }
    if (attempts_.blocked(c.peer, nowUs() / 1000)) {
        refuse(c, VEK_ERR_NOT_AUTHORISED, nullptr, out);  // counted, told later
        return;
    }
    if (version < vekwire::kVersion) {
        notAuthorised(c, "its protocol version has no key", out);
        return;
    }
    vekwire::Challenge challenge;
    challenge.policy = options_.observersWithoutKey ? vekwire::kObserversWithoutKey : 0;
    if (!vekwire::randomNonce(challenge.nonce)) {
        clients_.drop(c, "no random source for a challenge");
        return;
    }
    std::memcpy(c.nonce, challenge.nonce, sizeof c.nonce);
    c.helloBytes.assign(reinterpret_cast<const char*>(m.data), m.size);
    c.challenged = true;
    vekwire::encodeChallenge(out, challenge);
}

void Requests::checkProof(ClientConn& c, const vekwire::Proof& proof, std::string& out) {
    const auto* hello = reinterpret_cast<const uint8_t*>(c.helloBytes.data());
    if (proof.present && key_.verify(c.nonce, hello, c.helloBytes.size(), proof.mac))
        admit(c, out);
    else if (!proof.present && options_.observersWithoutKey && (c.greeting.flags & VEK_SLAVE))
        admit(c, out);
    else
        notAuthorised(c, proof.present ? "wrong key" : "no key", out);
}

void Requests::notAuthorised(ClientConn& c, const char* why, std::string& out) {
    refuse(c, VEK_ERR_NOT_AUTHORISED, why, out);
    std::fputs(attempts_.failed(c.peer, nowUs() / 1000).c_str(), stdout);
}

void Requests::refuse(ClientConn& c, int code, const char* why, std::string& out) {
    vekwire::Welcome w;
    w.version = c.greeting.version >= vekwire::kOldestVersion && c.greeting.version <= vekwire::kVersion
                    ? c.greeting.version
                    : vekwire::kVersion;
    w.result = code;
    w.clientId = c.id;
    w.flags = c.greeting.flags;
    w.frequency = clock_.frequency();
    w.name = options_.name;
    vekwire::encodeWelcome(out, w);
    c.closing = true;
    if (!why) return;
    const std::string label = vekwire::printable(c.greeting.label);
    std::printf("client %u refused: flags 0x%x %s from %s (code 0x%x%s%s)\n", c.id, c.greeting.flags,
                label.c_str(), addressText(c.peer).c_str(), code, *why ? ": not authorised, " : "", why);
    std::fflush(stdout);
}

void Requests::admit(ClientConn& c, std::string& out) {
    const vekwire::Hello& hello = c.greeting;
    const bool slave = hello.flags & VEK_SLAVE;
    // A master that just said goodbye may not have been read yet.
    if (!slave)
        for (const auto& other : clients_.all())
            if (other->fd.valid() && other->master) read(*other);
    int admitted = 0;
    bool masterPresent = false;
    for (const auto& other : clients_.all()) {
        if (!other->fd.valid() || !other->admitted) continue;
        ++admitted;
        masterPresent |= other->master;
    }
    if (admitted >= options_.maxClients) {
        refuse(c, VEK_ERR_TOO_MANY_CLIENTS, "", out);
        return;
    }
    if (!slave && masterPresent) {
        refuse(c, VEK_ERR_MASTER_BUSY, "", out);
        return;
    }
    vekwire::Welcome w;
    w.version = hello.version;
    w.facts = options_.clockElsewhere() ? vekwire::kFrameClockElsewhere : 0;
    w.clientId = c.id;
    w.flags = hello.flags;
    w.frequency = clock_.frequency();
    w.name = options_.name;
    vekwire::encodeWelcome(out, w);
    c.admitted = true;
    c.master = !slave;
    c.flags = hello.flags;
    c.label = hello.label;
    c.helloBytes.clear();
    const std::string label = vekwire::printable(hello.label);
    std::printf("client %u connected: flags 0x%x %s %s\n", c.id, hello.flags, c.master ? "master" : "slave",
                label.c_str());
    const auto& cams = source_.cameras();
    vekwire::encodeCameras(out, cams.data(), static_cast<uint32_t>(cams.size()));
    std::fflush(stdout);
}

}  // namespace vekd
