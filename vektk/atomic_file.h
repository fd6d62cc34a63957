// Writes a user's file so that a failed write never leaves it truncated:
// the content goes to a temporary file in the same folder, which is synced
// and then renamed over the target.
#pragma once

#include <string>
#include <string_view>

namespace vektk {

enum class AtomicWriteStatus {
    Written,
    OpenFailed,  // the temporary file could not be created
    WriteFailed  // writing, syncing or renaming failed; the target is untouched
};

struct AtomicWriteResult {
    AtomicWriteStatus status;
    int error;  // errno of the failure, 0 when written
};

// A new file gets the permissions a plain open would give it; an existing
// file keeps its own. No temporary file is left behind.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace vektk
