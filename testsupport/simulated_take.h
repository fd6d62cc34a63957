// A take made from the simulator without a server: what vekrec would
// record of frames 1..n at `rate`, for tests and benchmarks of replays.
#pragma once

#include <cstdint>
#include <string>

#include "scene.h"
#include "trackers.h"

namespace testsupport {

// The take's bytes. With `peakLeds` the peaks carry LED ids (as vekrec
// asks for), else the recording's marker ids. With `zUpWorld` the take is
// one recorded when vekd's world was z-up: cameras, markers and poses
// turned back to z-up, and no y-up flag.
std::string simulatedTake(const vekd::Scene& scene, uint64_t seed, const vekd::TrackerTable& trackers,
                          int frames, double rate, bool peakLeds, bool zUpWorld = false);

}  // namespace testsupport
