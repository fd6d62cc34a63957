// Saving a tracker to a ".pt" / ".rb" file.
#pragma once

#include <string>

#include "tracker.h"

namespace vektk {

// Writes the tracker's marker lines (positions divided by `scale`) through
// a temporary file and a rename; false with `error` set when it failed.
// A position that would not be written as a finite number (scale 0, say)
// is refused and nothing is written.
bool SaveTrackerFile(const Tracker& tracker, const std::string& path, float scale,
                     std::string* error = nullptr);

}  // namespace vektk
