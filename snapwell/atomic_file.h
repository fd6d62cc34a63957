// Writes a whole file through a temporary file in the same folder, renamed
// over the target, so that a failed write never leaves a truncated file.
#pragma once

#include <string>
#include <string_view>

namespace snapwell {

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
// file keeps its own.
AtomicWriteResult writeFileAtomically(const std::string& path, std::string_view content);

}  // namespace snapwell
