// A take made from the simulator without a server: what vekrec would
// record of frames 1..n at `rate`, for tests and benchmarks of replays.
#pragma once

#include <cstdint>
#include <string>

#include "scene.h"
#include "trackers.h"

namespace vekd::testing {

// The take's bytes. With `peakLeds` the peaks carry LED ids (as vekrec
// asks for), else the recording's marker ids.
std::string simulatedTake(const Scene& scene, uint64_t seed, const TrackerTable& trackers, int frames,
                          double rate, bool peakLeds);

}  // namespace vekd::testing
