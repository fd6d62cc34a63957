#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vekwire {

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "something else";
}

}  // namespace

UniqueFd openRegularFile(const std::string& path, std::string& why) {
    // Non-blocking, so that opening a FIFO returns at once; fstat then
    // tells what was opened.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0) {
        why = std::strerror(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        fd.reset();
        why = std::string(kindOf(st.st_mode)) + ", not a regular file";
        errno = 0;
        return {};
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        why = std::strerror(errno);
        return {};
    }
    return fd;
}

FileHandle openRegularFileStream(const std::string& path, std::string& why) {
    UniqueFd fd = openRegularFile(path, why);
    if (!fd.valid()) return nullptr;
    FileHandle file(::fdopen(fd.get(), "r"));
    if (!file) {
        why = std::strerror(errno);
        return nullptr;
    }
    fd.release();  // the stream owns it now
    return file;
}

bool readAll(int fd, std::string& out) {
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) return true;
        if (n > 0) {
            out.append(chunk, static_cast<size_t>(n));
        } else if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace vekwire
