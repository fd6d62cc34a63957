// The frame loop: poll markers, run the capture step, report, sleep 1 ms,
// until exactly `max` markers have settled, the server fails, or no frame
// has come for kFrameTimeout.
#pragma once

#include "options.h"
#include "quality.h"

#include <capture.h>
#include <veksock.h>

#include <chrono>
#include <ostream>
#include <vector>

namespace snapwell {

enum class LoopEnd {
    Settled,      // settled == max
    TooMany,      // settled > max
    ServerError,  // the library reported an error
    NoFrames      // no frame for kFrameTimeout
};

// A server that stays connected but sends nothing ends the capture.
constexpr std::chrono::seconds kFrameTimeout{3};

struct LoopResult {
    LoopEnd end;
    int settled;
};

// `markers` has one slot per capture record; it keeps the last frame fetched.
// Every step is also shown to `quality`.
LoopResult runCaptureLoop(numerics::CaptureState& capture, CaptureQuality& quality,
                          std::vector<MarkerRecord>& markers, const Options& options, std::ostream& out,
                          std::ostream& err);

}  // namespace snapwell
