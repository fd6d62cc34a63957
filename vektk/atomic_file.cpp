#include "atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vektk {

namespace {

// Links followed before giving up, as the kernel's own limit.
constexpr int kMaxLinkHops = 40;

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path a chain of symbolic links ends at (which need not exist yet);
// `path` itself when it is no link. False with errno set on a loop or error.
bool FollowLinks(std::string& path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
        if (!S_ISLNK(st.st_mode)) return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0) return false;
        const std::string link(target, static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : Folder(path) + link;
    }
    errno = ELOOP;
    return false;
}

bool HasWritePermission(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// Devices and FIFOs take the content as a stream: they are opened and
// written, not replaced. A FIFO without a reader is refused (ENXIO) instead
// of blocking.
AtomicWriteResult WriteToSpecialFile(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {AtomicWriteStatus::OpenFailed, errno};
    const int flags = ::fcntl(fd, F_GETFL);
    bool ok = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 && WriteAll(fd, content);
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? AtomicWriteResult{AtomicWriteStatus::Written, 0}
              : AtomicWriteResult{AtomicWriteStatus::WriteFailed, error};
}

// What the temporary file takes over from the file it replaces.
struct Replaced {
    mode_t mode;          // permission bits
    bool exists = false;  // else a new file: no owner to keep
    uid_t owner = 0;
    gid_t group = 0;
};

Replaced NewFile() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return {0666 & ~mask};
}

Replaced Existing(const struct stat& st) { return {st.st_mode & 07777, true, st.st_uid, st.st_gid}; }

// Gives the temporary file the replaced file's owner, group and mode. A
// process that may not give a file away (EPERM) keeps what it may: the
// group alone, or its own owner and group. The mode comes last, as a
// change of owner clears the set-user-ID and set-group-ID bits.
bool TakeOver(int fd, const Replaced& r) {
    if (r.exists && ::fchown(fd, r.owner, r.group) != 0) {
        if (errno != EPERM) return false;
        if (::fchown(fd, static_cast<uid_t>(-1), r.group) != 0 && errno != EPERM) return false;
    }
    return ::fchmod(fd, r.mode) == 0;
}

AtomicWriteResult ReplaceRegularFile(const std::string& path, const Replaced& replaced,
                                     std::string_view content) {
    std::string temp = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return {AtomicWriteStatus::OpenFailed, errno};

    bool ok = TakeOver(fd, replaced) && WriteAll(fd, content) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return {AtomicWriteStatus::WriteFailed, error};
    }
    return {AtomicWriteStatus::Written, 0};
}

}  // namespace

AtomicWriteResult WriteFileAtomically(const std::string& requested, std::string_view content) {
    std::string path = requested;
    if (!FollowLinks(path)) return {AtomicWriteStatus::OpenFailed, errno};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return ReplaceRegularFile(path, NewFile(), content);
    if (S_ISDIR(st.st_mode)) return {AtomicWriteStatus::WriteFailed, EISDIR};
    if (!HasWritePermission(path, st)) return {AtomicWriteStatus::OpenFailed, EACCES};
    if (!S_ISREG(st.st_mode)) return WriteToSpecialFile(path, content);
    return ReplaceRegularFile(path, Existing(st), content);
}

AtomicFileStream::~AtomicFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

AtomicWriteResult AtomicFileStream::Open(const std::string& requested) {
    std::string path = requested;
    if (!FollowLinks(path)) return {AtomicWriteStatus::OpenFailed, errno};
    struct stat st {};
    Replaced replaced = NewFile();
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return {AtomicWriteStatus::OpenFailed, EISDIR};
        if (!S_ISREG(st.st_mode)) return {AtomicWriteStatus::NotRegularFile, 0};
        if (!HasWritePermission(path, st)) return {AtomicWriteStatus::OpenFailed, EACCES};
        replaced = Existing(st);
    }
    target_ = path;
    temp_ = path + ".tmpXXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temp_.clear();
        return {AtomicWriteStatus::OpenFailed, errno};
    }
    if (!TakeOver(fd_, replaced)) {
        const int error = errno;
        Discard();
        return {AtomicWriteStatus::OpenFailed, error};
    }
    return {AtomicWriteStatus::Written, 0};
}

bool AtomicFileStream::Append(std::string_view piece) { return fd_ >= 0 && WriteAll(fd_, piece); }

AtomicWriteResult AtomicFileStream::Commit() {
    if (fd_ < 0) return {AtomicWriteStatus::WriteFailed, EBADF};
    bool ok = ::fsync(fd_) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        error = errno;
    }
    fd_ = -1;
    if (ok && std::rename(temp_.c_str(), target_.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    return ok ? AtomicWriteResult{AtomicWriteStatus::Written, 0}
              : AtomicWriteResult{AtomicWriteStatus::WriteFailed, error};
}

void AtomicFileStream::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

}  // namespace vektk
