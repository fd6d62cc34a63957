// Fuzz target for the editor's rigid body file reader: any bytes give
// either no markers or markers numbered by their lines with finite
// positions (a marker without a position sits at the origin).
#include <fuzz_input.h>

#include <cmath>
#include <sstream>

#include "rigid_body_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vekfuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    std::vector<MarkerRecord> markers;
    std::ostringstream err;
    const int n = ReadRigidBodyFile(file.path(), markers, err);
    if (n < 0 || static_cast<std::size_t>(n) != markers.size()) __builtin_trap();
    for (std::size_t i = 0; i < markers.size(); ++i) {
        const MarkerRecord& m = markers[i];
        if (m.id != static_cast<int>(i) || !(m.cond == 0 || m.cond == 1)) __builtin_trap();
        if (!std::isfinite(m.x) || !std::isfinite(m.y) || !std::isfinite(m.z)) __builtin_trap();
        if (m.cond == 0 && (m.x != 0 || m.y != 0 || m.z != 0)) __builtin_trap();
    }
    return 0;
}
