#include "tracker_file.h"

#include "atomic_file.h"

namespace vektk {

bool SaveTrackerFile(const Tracker& tracker, const std::string& path, float scale,
                     std::string* error) {
    return WriteFileAtomically(
        path,
        [&](std::ostream& out) {
            tracker.WriteMarkers(out, scale);
            return static_cast<bool>(out);
        },
        error);
}

}  // namespace vektk
