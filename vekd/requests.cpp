#include "requests.h"

#include <cstdio>

#include "printable_text.h"

namespace vekd {

Requests::Requests(const Options& options, const FrameSource& source, TrackerTable& trackers,
                   Clients& clients, FrameClock& clock)
    : options_(options), source_(source), trackers_(trackers), clients_(clients), clock_(clock) {}

void Requests::read(ClientConn& c) {
    if (!clients_.receive(c)) return;
    std::string out;
    vekwire::Message m;
    int r = 0;
    while (c.fd.valid() && (r = c.reader.next(m)) == 1) handle(c, m, out);
    if (!c.fd.valid()) return;
    if (r < 0) {
        clients_.drop(c, c.reader.error().c_str());
        return;
    }
    if (!out.empty() && !clients_.post(c, out)) return;
    clients_.watchWrites(c);
}

void Requests::handle(ClientConn& c, const vekwire::Message& m, std::string& out) {
    std::string error;
    if (c.closing) return;
    if (!c.admitted) {
        vekwire::Hello hello;
        if (m.kind != vekwire::Kind::Hello || !vekwire::decodeHello(m.data, m.size, hello, error)) {
            clients_.drop(c, error.empty() ? "no greeting" : error.c_str());
            return;
        }
        admit(c, hello, out);
        return;
    }
    if (m.kind == vekwire::Kind::Bye) {
        clients_.drop(c, "said goodbye");
        return;
    }
    vekwire::Request r;
    if (m.kind != vekwire::Kind::Request || !vekwire::decodeRequest(m.data, m.size, r, error)) {
        clients_.drop(c, error.empty() ? "unexpected message" : error.c_str());
        return;
    }
    serve(c, r, out);
}

void Requests::admit(ClientConn& c, const vekwire::Hello& hello, std::string& out) {
    vekwire::Welcome w;
    w.clientId = c.id;
    w.flags = hello.flags;
    w.frequency = clock_.frequency();
    w.name = options_.name;
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
        const auto& cams = source_.cameras();
        vekwire::encodeCameras(out, cams.data(), static_cast<uint32_t>(cams.size()));
    }
    std::fflush(stdout);
}

void Requests::serve(ClientConn& c, const vekwire::Request& r, std::string& out) {
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
    reply.fvalue = clock_.frequency();
    vekwire::encodeReply(out, reply);
}

int Requests::setInteger(ClientConn& c, int key, int value) {
    const bool onOff = value == VEK_ON || value == VEK_OFF;
    switch (key) {
        case VEK_STREAMING:
            if (!onOff) return VEK_INVALID_ENUM;
            c.streaming = value == VEK_ON;
            if (c.streaming) clock_.wake();
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
            if (!source_.knowsPeakLeds()) return VEK_INVALID_OPERATION;
            c.peakLeds = value == VEK_ON;
            return 0;
        default:
            return VEK_INVALID_ENUM;
    }
}

int Requests::setFrequency(ClientConn& c, float hz) {
    if (!c.master) return VEK_INVALID_OPERATION;
    if (!validFrequency(hz)) return VEK_INVALID_VALUE;
    if (hz == clock_.frequency()) return 0;
    clock_.setFrequency(hz);
    std::string out;
    vekwire::encodeState(out, hz);
    for (const auto& other : clients_.all())
        if (other->fd.valid() && other->admitted && other.get() != &c) clients_.post(*other, out);
    return 0;
}

}  // namespace vekd
