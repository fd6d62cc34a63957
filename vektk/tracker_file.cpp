#include "tracker_file.h"

#include <cstring>
#include <sstream>

#include "atomic_file.h"

namespace vektk {

bool SaveTrackerFile(const Tracker& tracker, const std::string& path, float scale,
                     std::string* error) {
    std::ostringstream content;
    tracker.WriteMarkers(content, scale);
    const AtomicWriteResult r = WriteFileAtomically(path, content.str());
    if (r.status != AtomicWriteStatus::Written && error)
        *error = std::string(r.status == AtomicWriteStatus::OpenFailed ? "open(" : "write(") + path +
                 "): " + std::strerror(r.error);
    return r.status == AtomicWriteStatus::Written;
}

}  // namespace vektk
