#include "session.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>

#include "client_key.h"
#include "net.h"
#include "stamped_receive.h"

namespace veksock {

namespace {

constexpr size_t kMaxQueuedErrors = 1024;
constexpr size_t kMaxDrainBytes = 8 << 20;  // per call, so a flood cannot hold a caller
// A drain that found the socket empty is not repeated within this time: the
// dozen calls that assemble one frame then cost one system call, not twelve.
constexpr long long kQuietDrainUs = 5;

}  // namespace

Session::Session() {
    for (uint32_t size : vekwire::kRecordSize) backlogs_.emplace_back(size);
}

Session::~Session() { done(); }

void Session::fail(int code) {
    status_ = 0;
    if (code == 0) return;
    if (errors_.size() >= kMaxQueuedErrors) errors_.pop_front();
    errors_.push_back(code);
}

int Session::takeError() {
    drain();
    if (errors_.empty()) return 0;
    const int code = errors_.front();
    errors_.pop_front();
    return code;
}

void Session::lose(int code, std::string_view why) {
    if (code == VEK_ERR_PROTOCOL) protocolError_ = why.substr(0, kMaxReason);  // before the reader's reset
    fd_.reset();
    connected_ = false;
    streaming_ = false;
    awaiting_ = false;
    exchange_ = Exchange::Off;
    reader_.reset();
    fail(code);
}

void Session::done() {
    if (fd_.valid()) {
        out_.clear();
        vekwire::encodeBye(out_, 0);
        send(fd_.get(), out_.data(), out_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    fd_.reset();
    connected_ = false;
    streaming_ = false;
    exchange_ = Exchange::Off;
    reader_.reset();
    for (auto& b : backlogs_) b.clear();
    cameras_.clear();
}

bool Session::sendAll(const std::string& bytes) {
    size_t sent = 0;
    const long long deadline = nowMs() + VEK_TIMEOUT_MS;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_.get(), POLLOUT, 0};
            if (poll(&p, 1, millisecondsLeft(deadline)) > 0) continue;
            lose(VEK_ERR_TIMED_OUT);
            return false;
        }
        lose(VEK_SERVER_STOPPED);
        return false;
    }
    return true;
}

bool Session::receive(int waitMs) {
    if (!fd_.valid()) return false;
    if (waitMs > 0) {
        pollfd p{fd_.get(), POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0) return true;
    }
    constexpr size_t kChunk = 256 * 1024;
    size_t total = 0;
    while (fd_.valid() && total < kMaxDrainBytes) {
        // The kernel's arrival stamp only while a time answer is due: the
        // plain read costs less.
        const ssize_t n =
            pendingTimes_.empty()
                ? recv(fd_.get(), reader_.prepare(kChunk), kChunk, MSG_DONTWAIT)
                : vekwire::receiveStamped(fd_.get(), reader_.prepare(kChunk), kChunk, receivedUs_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            lose(VEK_SERVER_STOPPED);
            return false;
        }
        total += static_cast<size_t>(n);
        bytesIn_ += static_cast<uint64_t>(n);
        reader_.commit(static_cast<size_t>(n));
        if (!handleBuffered()) return false;
        if (static_cast<size_t>(n) < kChunk) break;
    }
    return fd_.valid();
}

bool Session::handleBuffered() {
    vekwire::Message m;
    int r = 0;
    while (fd_.valid() && (r = reader_.next(m)) == 1) handle(m);
    if (fd_.valid() && r < 0) lose(VEK_ERR_PROTOCOL, reader_.error());
    return fd_.valid();
}

void Session::drain() {
    if (!connected_) return;
    const long long now = steadyUs();
    exchangeTimeIfDue(now);
    if (emptyDrainUs_ >= 0 && now - emptyDrainUs_ < kQuietDrainUs) return;
    const uint64_t before = bytesIn_;
    receive(0);
    emptyDrainUs_ = bytesIn_ == before ? now : -1;
}

void Session::handle(const vekwire::Message& m) {
    std::string error;
    bool ok = true;
    switch (m.kind) {
        case vekwire::Kind::Frame: {
            vekwire::FrameView f;
            if (!(ok = vekwire::decodeFrame(m.data, m.size, f, error))) break;
            if (frameSink_) {
                frameSink_(m.data, m.size, f);
            } else {
                for (int s = 0; s < vekwire::kStreamCount; ++s)
                    if (f.count[s] > 0) backlogs_[s].push(f.header.frame, f.records[s], f.count[s]);
            }
            if (lastStreamedFrame_ > 0 && f.header.frame > lastStreamedFrame_) {
                const int64_t gap = int64_t{f.header.frame} - lastStreamedFrame_ - 1;
                const uint32_t dropped = f.header.serverDropped - serverDropped_;
                if (gap > dropped) serverSkipped_ += static_cast<uint64_t>(gap - dropped);
            }
            lastStreamedFrame_ = f.header.frame;
            rememberFrameTime(f.header.frame, f.header.generatedUs);
            newestFrame_ = f.header.frame;
            newestTimeUs_ = f.header.generatedUs;
            frequency_ = f.header.frequency;
            serverDropped_ = f.header.serverDropped;
            break;
        }
        case vekwire::Kind::Cameras:
            ok = vekwire::decodeCameras(m.data, m.size, cameras_, error);
            break;
        case vekwire::Kind::Reply: {
            vekwire::Reply r;
            if (!(ok = vekwire::decodeReply(m.data, m.size, r, error)) || timeReply(r)) break;
            if (awaiting_ && r.seq == awaitSeq_) {
                reply_ = r;
                replied_ = true;
            }
            break;
        }
        case vekwire::Kind::Time: {
            vekwire::Time t;
            if ((ok = vekwire::decodeTime(m.data, m.size, t, error))) takeTime(t);
            break;
        }
        case vekwire::Kind::State:
            ok = vekwire::decodeFloat(m.data, m.size, frequency_, error);
            break;
        case vekwire::Kind::Bye:
            lose(VEK_SERVER_STOPPED);
            return;
        default:
            ok = false;
            error = "unexpected message kind " + std::to_string(static_cast<int>(m.kind));
    }
    if (!ok) lose(VEK_ERR_PROTOCOL, error);
}

int Session::init(const char* server, int flags, int timeoutMs) {
    done();
    errors_.clear();
    protocolError_.clear();
    status_ = 1;
    for (auto& b : backlogs_) b.reset();
    newestFrame_ = 0;
    newestTimeUs_ = 0;
    serverDropped_ = 0;
    lastStreamedFrame_ = 0;
    serverSkipped_ = 0;
    streams_ = VEK_DEFAULT_STREAMS;
    interpolation_ = 0;

    const long long deadline = nowMs() + timeoutMs;
    std::shared_ptr<const vekwire::LabKey> key;
    if (!connectionKey(key)) {
        fail(VEK_ERR_KEY_FILE);
        return -1;
    }
    Endpoint ep;
    if (!parseServer(server, VEK_DEFAULT_PORT, ep)) {
        fail(VEK_ERR_HOST_UNREACHABLE);
        return VEK_ERR_HOST_UNREACHABLE;
    }
    if (const int code = connectWithin(ep, timeoutMs, fd_)) {
        fail(code);
        return code;
    }
    sameClock_ = isLoopbackPeer(fd_.get());
    vekwire::Hello hello;
    hello.flags = flags;
    hello.label = program_invocation_short_name;
    vekwire::Welcome welcome;
    std::string why;
    if (const int failed = handshake(hello, key.get(), deadline, welcome, why)) {
        errors_.clear();
        lose(failed, why);
        // A peer that answers but not as vekd does is running: its code is
        // pending, as a refusal's is, not reported as a socket error.
        return failed == VEK_ERR_PROTOCOL ? -1 : failed;
    }
    if (const int refused = welcome.result) {
        if (refused == VEK_ERR_MASTER_BUSY || refused == VEK_ERR_TOO_MANY_CLIENTS ||
            refused == VEK_ERR_NOT_AUTHORISED)
            lose(refused);
        else if (refused == VEK_ERR_PROTOCOL)
            lose(refused, "vekd does not serve protocol version " + std::to_string(hello.version));
        else
            lose(VEK_ERR_PROTOCOL, "a refusal of unknown code " + std::to_string(refused));
        return -1;
    }
    connected_ = true;
    flags_ = welcome.flags;
    clientId_ = welcome.clientId;
    frequency_ = welcome.frequency;
    serverName_ = welcome.name;
    const bool elsewhere = welcome.facts & vekwire::kFrameClockElsewhere;
    sameClock_ = sameClock_ && !elsewhere;
    // The camera list follows the welcome, often in the same read.
    if (!handleBuffered()) return -1;  // the reason (0x103) is pending
    receive(0);
    startTimeExchange(deadline);  // a connection lost meanwhile is pending, as any later loss
    succeed();
    return 0;
}

int Session::loadKey(const char* path) {
    if (!veksock::loadKey(path)) {
        fail(VEK_ERR_KEY_FILE);
        return 0;
    }
    succeed();
    return 1;
}

int Session::request(vekwire::Op op, int target, int key, int value, const float* f, int nf) {
    drain();
    if (!connected_) {
        fail(VEK_INVALID_OPERATION);
        return VEK_INVALID_OPERATION;
    }
    vekwire::Request req;
    req.seq = nextSeq_++;
    req.op = op;
    req.target = target;
    req.key = key;
    req.value = value;
    for (int i = 0; i < nf && i < 3; ++i) req.f[i] = f[i];
    out_.clear();
    vekwire::encodeRequest(out_, req);
    if (!sendAll(out_)) return VEK_SERVER_STOPPED;
    awaiting_ = true;
    awaitSeq_ = req.seq;
    replied_ = false;
    const long long deadline = nowMs() + VEK_TIMEOUT_MS;
    while (!replied_) {
        const int left = millisecondsLeft(deadline);
        if (left == 0) {
            lose(VEK_ERR_TIMED_OUT);
            return VEK_ERR_TIMED_OUT;
        }
        if (!receive(left)) return VEK_SERVER_STOPPED;
    }
    awaiting_ = false;
    if (reply_.code != 0) {
        fail(reply_.code);
        return reply_.code;
    }
    succeed();
    return 0;
}

int Session::setInteger(int key, int value) {
    // Frames the server made while this client did not stream are no gap.
    if (key == VEK_STREAMING) lastStreamedFrame_ = 0;
    const int r = request(vekwire::Op::SetInteger, 0, key, value);
    if (r != 0) return 0;
    if (key == VEK_STREAMING) streaming_ = value == VEK_ON;
    if (key == VEK_INTERPOLATION) interpolation_ = value;
    if (const int s = vek_stream_index(key); s >= 0) {
        if (value == VEK_ON)
            streams_ |= vek_stream_bit(s);
        else
            streams_ &= ~vek_stream_bit(s);
    }
    return 1;
}

int Session::getInteger(int key, int& value) {
    drain();
    const int s = vek_stream_index(key);
    if (s >= 0) {
        value = streaming_ && (streams_ & vek_stream_bit(s)) ? 1 : 0;
    } else if (key == VEK_FRAME) {
        value = newestFrame_;
    } else if (key == VEK_STREAMING) {
        value = streaming_ ? 1 : 0;
    } else if (key == VEK_INTERPOLATION) {
        value = interpolation_;
    } else if (key == VEK_LIB_DROPPED) {
        uint64_t d = 0;
        for (const auto& b : backlogs_) d += b.dropped();
        value = static_cast<int>(d);
    } else if (key == VEK_SERVER_DROPPED) {
        value = static_cast<int>(serverDropped_);
    } else if (key == VEK_SERVER_SKIPPED) {
        value = static_cast<int>(std::min<uint64_t>(serverSkipped_, INT_MAX));
    } else if (key == VEK_INIT_FLAGS) {
        value = flags_;
    } else if (key == VEK_CLIENT_ID) {
        value = static_cast<int>(clientId_);
    } else if (key == VEK_SAME_CLOCK) {
        value = sameClock_ ? 1 : 0;
    } else {
        fail(VEK_INVALID_ENUM);
        return 0;
    }
    succeed();
    return 1;
}

int Session::setFloat(int key, float value) {
    if (request(vekwire::Op::SetFloat, 0, key, 0, &value, 1) != 0) return 0;
    if (key == VEK_FREQUENCY) frequency_ = reply_.fvalue;
    return 1;
}

int Session::getFloat(int key, float& value) {
    drain();
    if (key != VEK_FREQUENCY) {
        fail(VEK_INVALID_ENUM);
        return 0;
    }
    value = frequency_;
    succeed();
    return 1;
}

int Session::setScale(float scale) {
    drain();
    if (!(scale > 0) || !std::isfinite(scale)) {
        fail(VEK_INVALID_VALUE);
        return 0;
    }
    scale_ = scale;
    succeed();
    return 1;
}

int Session::setPose(const float pose[7]) {
    drain();
    for (int i = 0; i < 7; ++i) {
        if (!std::isfinite(pose[i])) {
            fail(VEK_INVALID_VALUE);
            return 0;
        }
    }
    std::memcpy(pose_, pose, sizeof pose_);
    normalize_p(pose_);
    succeed();
    return 1;
}

int Session::sendPosition(int marker, int key, const float xyz[3]) {
    const float mm[3] = {xyz[0] / scale_, xyz[1] / scale_, xyz[2] / scale_};
    return request(vekwire::Op::MarkerFloat, marker, key, 0, mm, 3) == 0 ? 1 : 0;
}

bool Session::identityTransform() const {
    return scale_ == 1.0f && pose_[0] == 0 && pose_[1] == 0 && pose_[2] == 0 && pose_[3] == 1;
}

void Session::transformPose(float pose[7]) const {
    float out[7];
    mult_pp(pose_, pose, out);
    for (int i = 0; i < 3; ++i) out[i] *= scale_;
    std::memcpy(pose, out, sizeof out);
}

void Session::transform(int stream, void* records, int count) const {
    if (count <= 0 || identityTransform()) return;
    if (stream == VEK_MARKER_STREAM) {
        float m[16];
        convert_pm(pose_, m);
        auto* r = static_cast<MarkerRecord*>(records);
        for (int i = 0; i < count; ++i) {
            const float p[3] = {r[i].x, r[i].y, r[i].z};
            float q[3];
            mult_mv3_v3(m, p, q);
            r[i].x = q[0] * scale_;
            r[i].y = q[1] * scale_;
            r[i].z = q[2] * scale_;
        }
    } else if (stream == VEK_RIGID_STREAM) {
        auto* r = static_cast<RigidRecord*>(records);
        for (int i = 0; i < count; ++i) transformPose(r[i].pose);
    }
}

int Session::fetch(int stream, void* out, int max) {
    drain();
    if (!connected_) {
        status_ = 0;
        return -1;
    }
    const int n = backlogs_[stream].pop(out, max);
    transform(stream, out, n);
    succeed();
    return n;
}

int Session::cameras(VEKCamera* out, int max) {
    drain();
    if (!connected_) {
        status_ = 0;
        return -1;
    }
    const int n = std::min<int>(static_cast<int>(cameras_.size()), std::max(max, 0));
    for (int i = 0; i < n; ++i) {
        out[i] = cameras_[i];
        if (!identityTransform()) transformPose(out[i].pose);
    }
    succeed();
    return n;
}

int Session::frameTime(int64_t& us) {
    drain();
    us = newestTimeUs_;
    return newestTimeUs_ != 0 ? 1 : 0;
}

}  // namespace veksock
