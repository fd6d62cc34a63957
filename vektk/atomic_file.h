// Writes a user's file so that a failed write never leaves it truncated:
// the content goes to a temporary file in the same folder, which is synced
// and then renamed over the target.
//
// What the target path names is respected: a symbolic link is followed and
// the file it points to is replaced (its folder holds the temporary file);
// a device or FIFO is written directly, never replaced by a regular file;
// a file that is not writable (no write permission bit, or refused by
// access(2)) is refused, as a plain open would refuse it. A replaced file
// keeps its owner, group and mode where the process may give them (the
// owner needs root), but becomes a new inode: a hard link to the old one
// keeps the old content, as with editors that save atomically.
#pragma once

#include <string>
#include <string_view>

namespace vektk {

enum class AtomicWriteStatus {
    Written,
    OpenFailed,     // the target cannot be written or the temporary file not created
    WriteFailed,    // writing, syncing or renaming failed; the target is untouched
    NotRegularFile  // a stream's target is a device, FIFO or socket (error 0)
};

struct AtomicWriteResult {
    AtomicWriteStatus status;
    int error;  // errno of the failure, 0 when written
};

// A new file gets the permissions a plain open would give it; an existing
// file keeps its own, and its owner and group. No temporary file is left
// behind.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view content);

// The same guarantees for a file written piece by piece over a long time
// (a recording): the pieces go to a temporary file beside the target,
// which Commit() syncs and renames over it. Until then the target is
// untouched; a writer that is killed, or that fails, leaves the temporary
// file (TempPath()) with every piece appended so far. Only a regular file
// (or none yet) is a target: a device, FIFO or socket is refused
// (NotRegularFile), never opened (a FIFO would wait for a reader).
class AtomicFileStream {
public:
    AtomicFileStream() = default;
    ~AtomicFileStream();
    AtomicFileStream(const AtomicFileStream&) = delete;
    AtomicFileStream& operator=(const AtomicFileStream&) = delete;

    AtomicWriteResult Open(const std::string& path);
    // False with errno set when the piece could not be written whole.
    bool Append(std::string_view piece);
    AtomicWriteResult Commit();
    // Removes the temporary file (nothing worth keeping was written).
    void Discard();

    const std::string& TempPath() const { return temp_; }
    const std::string& TargetPath() const { return target_; }

private:
    int fd_ = -1;
    std::string target_, temp_;
};

}  // namespace vektk
