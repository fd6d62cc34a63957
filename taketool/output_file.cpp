#include "output_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace taketool {

namespace {

constexpr size_t kWriteSize = 1 << 20;

}  // namespace

bool OutputFile::open(const std::string& path, const FrameWalk& input, std::string& error) {
    path_ = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_dev == input.device() && st.st_ino == input.inode()) {
        error = "cannot write " + path + ": it is the take being read";
        return false;
    }
    const vektk::AtomicWriteResult opened = file_.Open(path);
    if (opened.status != vektk::AtomicWriteStatus::Written) {
        error = "cannot write " + path + ": " + std::strerror(opened.error);
        return false;
    }
    open_ = true;
    buffer_.reserve(kWriteSize + (kWriteSize >> 2));
    return true;
}

bool OutputFile::flush(std::string& error, bool all) {
    if (buffer_.size() < kWriteSize && !all) return true;
    if (!file_.Append(buffer_)) {
        error = "cannot write " + file_.TempPath() + ": " + std::strerror(errno);
        return false;
    }
    buffer_.clear();
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (!flush(error, true)) return false;
    const vektk::AtomicWriteResult done = file_.Commit();
    open_ = false;
    if (done.status != vektk::AtomicWriteStatus::Written) {
        error = "cannot write " + path_ + ": " + std::strerror(done.error);
        file_.Discard();
        return false;
    }
    return true;
}

void OutputFile::discard() {
    if (open_) file_.Discard();
    open_ = false;
}

}  // namespace taketool
