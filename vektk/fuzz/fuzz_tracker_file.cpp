// Fuzz target for tracker files: the same bytes read as a point file and
// as a rigid body file.
#include <fuzz_input.h>

#include <cmath>

#include "tracker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vekfuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    for (const int type : {vektk::kPointTracker, vektk::kRigidTracker}) {
        vektk::Tracker tracker(type, 0, 0);
        const int n = tracker.Load(type, file.path());
        // A file loads whole or not at all.
        if (n < 0 || static_cast<std::size_t>(n) != tracker.markers.size()) __builtin_trap();
        for (const vektk::MarkerDef& m : tracker.markers) {
            if (m.led < 0) __builtin_trap();
            for (const float v : m.pos)
                if (!std::isfinite(v)) __builtin_trap();
        }
    }
    return 0;
}
