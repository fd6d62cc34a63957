#include "requests.h"

#include <cstdio>

namespace vekd {

Requests::Requests(const Options& options, const FrameSource& source, TrackerTable& trackers,
                   Clients& clients, FrameClock& clock, const vekwire::LabKey& key, FailedAttempts& attempts,
                   const ServerTime& time)
    : options_(options),
      source_(source),
      trackers_(trackers),
      clients_(clients),
      clock_(clock),
      key_(key),
      attempts_(attempts),
      time_(time) {}

void Requests::read(ClientConn& c) {
    if (clients_.receive(c)) answer(c);
}

void Requests::answer(ClientConn& c) {
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
        greet(c, m, out);
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

void Requests::serve(ClientConn& c, const vekwire::Request& r, std::string& out) {
    using vekwire::Op;
    if (r.op == Op::TimeExchange && r.value == vekwire::kTimeExchangeVersion) {
        answerTime(r, c.arrivalUs > 0 ? time_.at(c.arrivalUs) : time_.now(), out);
        return;
    }
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
            case Op::TimeExchange:  // of a version this server does not know
                code = VEK_INVALID_VALUE;
                break;
        }
    }
    vekwire::Reply reply;
    reply.seq = r.seq;
    reply.code = code;
    reply.fvalue = clock_.frequency();
    vekwire::encodeReply(out, reply);
}

void Requests::answerTime(const vekwire::Request& r, long long receivedUs, std::string& out) {
    vekwire::Time t;
    t.seq = r.seq;
    t.receivedUs = receivedUs;
    t.sentUs = time_.now();
    vekwire::encodeTime(out, t);
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
