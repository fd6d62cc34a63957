// Writes a user's file so that a failed write never leaves it truncated:
// the content goes to a temporary file in the same folder, which is synced
// and then renamed over the target.
//
// What the target path names is respected: a symbolic link is followed and
// the file it points to is replaced (its folder holds the temporary file);
// a device or FIFO is written directly, never replaced by a regular file;
// a file that is not writable (no write permission bit, or refused by
// access(2)) is refused, as a plain open would refuse it.
#pragma once

#include <string>
#include <string_view>

namespace vektk {

enum class AtomicWriteStatus {
    Written,
    OpenFailed,  // the target cannot be written or the temporary file not created
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
