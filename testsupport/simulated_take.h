// A take made from the simulator without a server: what vekrec would
// record of frames 1..n at `rate`, for tests and benchmarks of replays.
#pragma once

#include <cstdint>
#include <string>

#include "scene.h"
#include "trackers.h"

namespace testsupport {

// The recorder's CLOCK_REALTIME when a simulated take's first frame was
// made (frame n is n / rate seconds later): 2026-12-01 00:00 UTC.
constexpr int64_t kSimulatedEpochUs = 1796083200000000;

// The take's bytes. With `peakLeds` the peaks carry LED ids (as vekrec
// asks for), else the recording's marker ids. With `zUpWorld` the take is
// one recorded when vekd's world was z-up: cameras, markers and poses
// turned back to z-up, and no y-up flag.
std::string simulatedTake(const vekd::Scene& scene, uint64_t seed, const vekd::TrackerTable& trackers,
                          int frames, double rate, bool peakLeds, bool zUpWorld = false);

}  // namespace testsupport

namespace testsupport {

// The same take as the version-1 format wrote it: frames without the
// recorder's capture times.
std::string asVersionOne(const std::string& take);

}  // namespace testsupport
