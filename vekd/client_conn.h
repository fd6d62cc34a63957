// One connected client as the server sees it: its settings, its reader and
// its bounded send queue.
#pragma once

#include <sys/uio.h>

#include <cstdint>
#include <deque>
#include <string>

#include "unique_fd.h"
#include "wire.h"

namespace vekd {

struct ClientConn {
    vekwire::UniqueFd fd;  // empty once the client is dropped
    uint32_t id = 0;
    long long connectedMs = 0;
    bool admitted = false;
    bool master = false;
    bool closing = false;  // close once the queue is sent
    int flags = 0;
    std::string label;
    uint32_t peer = 0;  // IPv4 address, host order

    // Between a challenge and its proof: the greeting, its payload as sent
    // and the challenge's nonce.
    bool challenged = false;
    vekwire::Hello greeting;
    std::string helloBytes;
    uint8_t nonce[vekwire::kNonceBytes] = {};

    bool streaming = false;
    uint32_t streams = VEK_DEFAULT_STREAMS;  // stream bits switched on
    int interpolation = 0;
    bool peakLeds = false;  // peaks carry LED ids (VEK_PEAK_LEDS)

    vekwire::Reader reader;
    long long arrivalUs = 0;  // when the bytes last read arrived (steady clock; 0: not known)
    std::string queue;  // bytes not yet taken by the socket
    size_t queueStart = 0;
    uint32_t dropped = 0;  // frames dropped for this client

    // On a simulated slow link (LinkDelay): bytes held until their time,
    // those that came in and those going out, and the release times of the
    // last of each.
    struct Held {
        long long atUs;
        std::string bytes;
    };
    std::deque<Held> inbound, outbound;
    size_t outboundBytes = 0;
    long long lastInUs = 0, lastOutUs = 0;

    size_t queued() const { return queue.size() - queueStart; }

    // Sends a whole message made of `parts`; what the socket does not take
    // now is queued. A droppable message (a frame) is dropped instead when
    // the queue would grow beyond `limit`. False when the connection broke.
    bool send(const iovec* parts, int count, size_t total, bool droppable, size_t limit);
    bool send(const std::string& message) {
        iovec v{const_cast<char*>(message.data()), message.size()};
        return send(&v, 1, message.size(), false, 0);
    }
    // Writes queued bytes; false when the connection broke.
    bool flush();
};

}  // namespace vekd
