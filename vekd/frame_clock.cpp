#include "frame_clock.h"

#include <sys/timerfd.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "monotonic_time.h"

namespace vekd {

namespace {

// A frame schedule this late (the process was stopped, the machine was
// overloaded) skips the frames it missed instead of sending them all.
constexpr long long kStallUs = 100000;
// Frames made in one turn of the loop at most, when frames take longer
// than their period: between them the loop answers its clients.
constexpr long long kFramesPerTurn = 4;

}  // namespace

FrameClock::FrameClock(FrameSource& source, const TrackerTable& trackers, Clients& clients, float frequency,
                       const ServerTime& time)
    : source_(source), trackers_(trackers), clients_(clients), time_(time), frequency_(frequency) {}

bool FrameClock::open() {
    timer_.reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
    return timer_.valid();
}

void FrameClock::armTimer(long long atUs) {
    itimerspec when{};  // all zero disarms
    if (atUs >= 0) {
        when.it_value.tv_sec = atUs / 1000000;
        when.it_value.tv_nsec = (atUs % 1000000) * 1000 + 1;
    }
    timerfd_settime(timer_.get(), TFD_TIMER_ABSTIME, &when, nullptr);
}

void FrameClock::schedule() {
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

bool FrameClock::tick() {
    uint64_t expirations;
    if (read(timer_.get(), &expirations, sizeof expirations) < 0 || frequency_ <= 0) return true;
    if (idle()) {
        passDueFrames();
        resting_ = true;  // until a client streams or the rate changes
        rate_.pause();
        armTimer(-1);
        return true;
    }
    const double periodUs = 1e6 / frequency_;
    const long long now = nowUs();
    // Every frame that is due, so the rate holds on average.
    skipStalledFrames(now);
    const long long due = static_cast<long long>(std::floor((now - scheduleStartUs_) / periodUs)) + 1;
    for (long long made = 0; framesScheduled_ < due && made < kFramesPerTurn && !sourceEnded_; ++made) {
        makeFrame();
        ++framesScheduled_;
    }
    clients_.removeClosed();
    armTimer(scheduleStartUs_ + static_cast<long long>(std::ceil(framesScheduled_ * periodUs)));
    return !sourceEnded_;
}

void FrameClock::wake() {
    if (!resting_) return;
    passDueFrames();
    schedule();
}

void FrameClock::setFrequency(float hz) {
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
}

void FrameClock::skipStalledFrames(long long now) {
    if (frequency_ <= 0) return;
    const double periodUs = 1e6 / frequency_;
    if (now - scheduleStartUs_ - framesScheduled_ * periodUs <= kStallUs) return;
    if (!source_.makesFramesOnDemand()) {
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

bool FrameClock::idle() const { return source_.makesFramesOnDemand() && !clients_.anyStreaming(); }

void FrameClock::passDueFrames() {
    if (frequency_ <= 0) return;
    const double periodUs = 1e6 / frequency_;
    const long long due = static_cast<long long>(std::floor((nowUs() - scheduleStartUs_) / periodUs)) + 1;
    if (framesScheduled_ >= due) return;
    for (; framesScheduled_ < due; ++framesScheduled_) passFrame();
    lastFrameUs_ = scheduleStartUs_ + static_cast<long long>(std::ceil((framesScheduled_ - 1) * periodUs));
}

// A frame nobody takes: numbered and timed as if it had been made.
void FrameClock::passFrame() {
    ++frameNumber_;
    sceneTime_ += 1.0 / frequency_;
}

void FrameClock::makeFrame() {
    if (!source_.generate(frameNumber_ + 1, sceneTime_, trackers_, frame_)) {
        sourceEnded_ = true;
        std::printf("vekd: %s\n", source_.endMessage().c_str());
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
    for (const auto& c : clients_.all())
        peakLeds |= c->fd.valid() && c->streaming && c->peakLeds && (c->streams & VEK_IMAGE_BIT);
    if (peakLeds) encodePeaksWithLeds(frame_, VEK_MAX_IMAGES, peakLedScratch_, peakLedSection_);
    sendFrame();
}

// The frame to every client that streams: a header of its own, then the
// sections of the streams it takes.
void FrameClock::sendFrame() {
    vekwire::FrameHeader h;
    h.frame = frameNumber_;
    h.frequency = frequency_;
    lastFrameUs_ = nowUs();
    h.generatedUs = time_.at(lastFrameUs_);
    if (const double held = rate_.frameMade(lastFrameUs_, frequency_)) {
        std::printf("vekd: warning: frames take longer to make than %g Hz allows: %.0f Hz held\n", frequency_,
                    held);
        std::fflush(stdout);
    }
    for (const auto& c : clients_.all()) {
        if (!c->fd.valid() || !c->admitted || !c->streaming) continue;
        h.mask = 0;
        h.serverDropped = c->dropped;
        iovec parts[1 + vekwire::kStreamCount];
        int count = 1;
        size_t sectionBytes = 0;
        for (int s = 0; s < vekwire::kStreamCount; ++s) {
            if (!(c->streams & vek_stream_bit(s))) continue;
            h.mask |= vek_stream_bit(s);
            std::string& section = s == VEK_IMAGE_STREAM && c->peakLeds ? peakLedSection_ : sections_[s];
            parts[count++] = {section.data(), section.size()};
            sectionBytes += section.size();
        }
        std::string header;
        vekwire::encodeFrameHeader(header, h, sectionBytes);
        parts[0] = {header.data(), header.size()};
        clients_.postFrame(*c, parts, count, header.size() + sectionBytes);
    }
}

void FrameClock::logRepeats(long long nowMs) {
    if (const long long n = frequencyChanges_.takeRepeats(nowMs))
        std::printf("frequency %g Hz (%lld changes)\n", frequency_, n);
    if (const long long n = skippedFrames_.takeRepeats(nowMs))
        std::printf("vekd: warning: %lld more frames skipped: not made in time\n", n);
}

long long FrameClock::dueMs() const { return earliestMs(frequencyChanges_.dueMs(), skippedFrames_.dueMs()); }

}  // namespace vekd
