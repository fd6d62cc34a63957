// The time exchange with the server (docs/protocol.md, "Time exchange"):
// requests sent from inside the library's calls, never waited for except
// right after connecting; answers fed to the clock estimator; capture times
// converted to this host's clocks.
#include <time.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "net.h"
#include "session.h"

namespace veksock {

namespace {

constexpr int kFirstExchanges = 8;  // inside init, each waited for
constexpr long long kExchangeEveryUs = 25'000;
constexpr size_t kMaxPendingTimes = 4;  // unanswered requests before sending waits
// Time requests are numbered apart from the caller's requests, which keep
// the numbers they always had.
constexpr uint32_t kTimeSeqBit = 0x80000000u;

// CLOCK_REALTIME minus CLOCK_MONOTONIC now, read between two readings of
// the steady clock that lie closest together: a thread preempted between
// two plain readings would see the difference off by its pause.
int64_t realtimeMinusMonotonicUs() {
    int64_t best = 0, bestGapNs = INT64_MAX;
    for (int i = 0; i < 3; ++i) {
        timespec before{}, real{}, after{};
        clock_gettime(CLOCK_MONOTONIC, &before);
        clock_gettime(CLOCK_REALTIME, &real);
        clock_gettime(CLOCK_MONOTONIC, &after);
        const auto ns = [](const timespec& t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
        const int64_t gap = ns(after) - ns(before);
        if (gap < bestGapNs) {
            bestGapNs = gap;
            best = (ns(real) - (ns(before) + gap / 2)) / 1000;
        }
    }
    return best;
}

}  // namespace

void Session::startTimeExchange(long long deadlineMs) {
    estimator_.clear();
    pendingTimes_.clear();
    frameTimes_.fill({});
    exchange_ = Exchange::Running;
    for (int i = 0; i < kFirstExchanges && connected_ && exchange_ == Exchange::Running; ++i) {
        if (!sendTimeRequest(steadyUs())) return;
        while (connected_ && !pendingTimes_.empty() && exchange_ == Exchange::Running) {
            const int left = millisecondsLeft(deadlineMs);
            if (left == 0) return;  // the rest come from the calls that follow
            receive(left);
        }
    }
}

void Session::exchangeTimeIfDue(long long nowUs) {
    if (exchange_ == Exchange::Running && nowUs >= nextExchangeUs_ && pendingTimes_.size() < kMaxPendingTimes)
        sendTimeRequest(nowUs);
}

bool Session::sendTimeRequest(long long nowUs) {
    vekwire::Request req;
    req.seq = kTimeSeqBit | (nextTimeSeq_++ & ~kTimeSeqBit);
    req.op = vekwire::Op::TimeExchange;
    req.value = vekwire::kTimeExchangeVersion;
    std::string bytes;
    vekwire::encodeRequest(bytes, req);
    nextExchangeUs_ = nowUs + kExchangeEveryUs;
    pendingTimes_.push_back({req.seq, steadyUs()});
    return sendAll(bytes);
}

bool Session::timeReply(const vekwire::Reply& r) {
    for (const PendingTime& p : pendingTimes_) {
        if (p.seq != r.seq) continue;
        // A server without the exchange: the old rules for this connection.
        exchange_ = Exchange::Refused;
        pendingTimes_.clear();
        return true;
    }
    return false;
}

void Session::takeTime(const vekwire::Time& t) {
    for (size_t i = 0; i < pendingTimes_.size(); ++i) {
        if (pendingTimes_[i].seq != t.seq) continue;
        // The kernel stamps a read with the arrival of its last bytes: only
        // an answer that ends its read has its own arrival time.
        if (reader_.buffered() == 0)
            estimator_.add({pendingTimes_[i].sentUs, t.receivedUs, t.sentUs, receivedUs_});
        pendingTimes_.erase(pendingTimes_.begin() + static_cast<long>(i));
        return;
    }
}

void Session::rememberFrameTime(int32_t frame, int64_t generatedUs) {
    frameTimes_[static_cast<uint32_t>(frame) % frameTimes_.size()] = {frame, generatedUs};
}

bool Session::localTimeOf(int64_t serverUs, int clock, int64_t& localUs) const {
    if (clock != CLOCK_MONOTONIC && clock != CLOCK_REALTIME) return false;
    int64_t steady = serverUs;
    if (!sameClock_ && !estimator_.toLocal(serverUs, steadyUs(), steady)) return false;
    if (clock == CLOCK_REALTIME) steady += realtimeMinusMonotonicUs();
    localUs = steady;
    return true;
}

int Session::captureTime(int frame, int clock, int64_t& us) {
    drain();
    if (frame == 0) frame = newestFrame_;
    const auto& [number, generatedUs] = frameTimes_[static_cast<uint32_t>(frame) % frameTimes_.size()];
    if (frame == 0 || number != frame || generatedUs == 0) return -1;
    return localTimeOf(generatedUs, clock, us) ? 1 : 0;
}

int Session::serverTimeToLocal(int64_t serverUs, int clock, int64_t& localUs) {
    drain();
    return localTimeOf(serverUs, clock, localUs) ? 1 : 0;
}

int Session::clockEstimate(VEKClockEstimate& out) {
    drain();
    const long long now = steadyUs();
    const ClockFit f = estimator_.estimate(now);
    out = VEKClockEstimate{};
    out.sameClock = sameClock_ ? 1 : 0;
    out.samples = f.samples;
    out.ageMs = f.newestUs != 0
                    ? static_cast<int32_t>(std::min<long long>((now - f.newestUs) / 1000, INT32_MAX))
                    : -1;
    if (sameClock_) {
        out.trusted = 1;
        return 1;
    }
    out.trusted = f.trusted ? 1 : 0;
    out.offsetUs = std::llround(f.offsetUs);
    out.driftPpm = f.driftPpm;
    out.uncertaintyUs = f.uncertaintyUs;
    return out.trusted;
}

}  // namespace veksock
