// The frame clock: frames are due at start + k / frequency, and each one
// due is made by the source and sent to every client that streams. While
// nobody streams the timer rests, and frame numbers and scene time follow
// the clock without frames being made. A schedule that fell behind (the
// process was stopped, the machine was busy) skips what it missed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clients.h"
#include "frame_source.h"
#include "rate_watch.h"
#include "repeated_line.h"
#include "simulated_link.h"
#include "trackers.h"
#include "unique_fd.h"

namespace vekd {

class FrameClock {
public:
    // Frames carry their generation time on `time`.
    FrameClock(FrameSource& source, const TrackerTable& trackers, Clients& clients, float frequency,
               const ServerTime& time);

    // Makes the timer; false with errno set.
    bool open();
    int fd() const { return timer_.get(); }
    float frequency() const { return frequency_; }

    // Starts the schedule: the next frame comes one period after the last.
    void schedule();
    // The timer fired: makes the frames due. False once the source has no
    // frame left (it has said why).
    bool tick();
    // A client began to stream: a resting clock runs again.
    void wake();
    // A valid frequency other than the current one.
    void setFrequency(float hz);

    // Tells the frequency changes and skipped frames counted; dueMs() says
    // when there are some to tell (-1: none).
    void logRepeats(long long nowMs);
    long long dueMs() const;
    long long framesSkipped() const { return framesSkipped_; }

private:
    // A schedule that fell more than kStallUs behind skips the frames it
    // missed but the one due now: numbered and timed as if made, never
    // made, and counted. A take is served whole instead: after a stall it
    // goes on where it was.
    void skipStalledFrames(long long nowUs);
    void armTimer(long long atUs);  // steady-clock microseconds; < 0 stops
    // Whether frames need not be made now: nobody streams, and the source
    // can make any frame later from its number and time.
    bool idle() const;
    // Counts every frame due by now as passed, without making it.
    void passDueFrames();
    void passFrame();
    void makeFrame();
    void sendFrame();

    FrameSource& source_;
    const TrackerTable& trackers_;
    Clients& clients_;
    const ServerTime& time_;
    vekwire::UniqueFd timer_;
    bool sourceEnded_ = false;

    float frequency_;
    int32_t frameNumber_ = 0;
    double sceneTime_ = 0;
    long long scheduleStartUs_ = 0;  // frames are due at start + k / frequency
    long long framesScheduled_ = 0;
    long long lastFrameUs_ = -1;
    bool resting_ = false;  // the timer rests while nobody streams
    RateWatch rate_;
    RepeatedLine frequencyChanges_{1000};
    RepeatedLine skippedFrames_{1000};
    long long framesSkipped_ = 0;  // frames not made in time, told at the end

    FrameData frame_;
    std::string sections_[vekwire::kStreamCount];
    std::string peakLedSection_;  // the image section with LED ids (VEK_PEAK_LEDS)
    std::vector<ImageRecord> peakLedScratch_;
};

}  // namespace vekd
