#include "tracker_file.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include "atomic_file.h"

namespace vektk {

namespace {

// The first marker whose written position would not be a finite number
// (scale 0, say), or none.
const MarkerDef* NonFinitePosition(const Tracker& tracker, float scale) {
    if (!tracker.IsRigid()) return nullptr;
    for (const MarkerDef& m : tracker.markers) {
        if (m.pos.size() < 3) continue;
        for (int i = 0; i < 3; ++i) {
            if (!std::isfinite(m.pos[static_cast<std::size_t>(i)] / scale)) return &m;
        }
    }
    return nullptr;
}

}  // namespace

bool SaveTrackerFile(const Tracker& tracker, const std::string& path, float scale, std::string* error) {
    if (const MarkerDef* bad = NonFinitePosition(tracker, scale)) {
        if (error)
            *error = path + ": marker " + std::to_string(bad->index) + " (LED " + std::to_string(bad->led) +
                     ") has no finite position; nothing written";
        return false;
    }
    std::ostringstream content;
    tracker.WriteMarkers(content, scale);
    const AtomicWriteResult r = WriteFileAtomically(path, content.str());
    if (r.status != AtomicWriteStatus::Written && error)
        *error = std::string(r.status == AtomicWriteStatus::OpenFailed ? "open(" : "write(") + path +
                 "): " + std::strerror(r.error);
    return r.status == AtomicWriteStatus::Written;
}

}  // namespace vektk
