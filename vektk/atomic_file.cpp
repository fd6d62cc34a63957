#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace vektk {
namespace {

class TempFile {
public:
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    // Creates a new file beside `target` (mode 0666 less the umask).
    bool Open(const std::string& target) {
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = target + ".tmp" + std::to_string(::getpid()) + "." +
                                    std::to_string(counter++);
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    bool WriteAll(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Keeps the mode of the file being replaced.
    bool CopyModeOf(const std::string& target) {
        struct stat st;
        if (::stat(target.c_str(), &st) != 0) return errno == ENOENT;
        return ::fchmod(fd_, st.st_mode & 07777) == 0;
    }

    bool SyncAndClose() {
        const bool synced = ::fsync(fd_) == 0;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return synced && closed;
    }

    bool RenameTo(const std::string& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

bool Fail(std::string* error, const std::string& what, const std::string& path) {
    if (error) *error = what + "(" + path + "): " + std::strerror(errno);
    return false;
}

}  // namespace

bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(std::ostream&)>& write, std::string* error) {
    std::ostringstream content;
    if (!write(content) || !content) {
        if (error) *error = "write(" + path + "): content not produced";
        return false;
    }
    TempFile temp;
    if (!temp.Open(path)) return Fail(error, "open", path);
    if (!temp.WriteAll(content.str())) return Fail(error, "write", temp.path());
    if (!temp.CopyModeOf(path)) return Fail(error, "chmod", temp.path());
    if (!temp.SyncAndClose()) return Fail(error, "write", temp.path());
    if (!temp.RenameTo(path)) return Fail(error, "rename", path);
    return true;
}

}  // namespace vektk
