#include "frame_walk.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace taketool {

namespace {

volatile sig_atomic_t stopRequested = 0;

}  // namespace

int64_t since(int64_t t, int64_t t0) {
    int64_t d;
    if (!__builtin_sub_overflow(t, t0, &d)) return d;
    return t > t0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

void requestStop() { stopRequested = 1; }

bool FrameWalk::open(const std::string& path, std::string& error) {
    if (!file_.open(path, error)) return false;
    struct stat st {};
    if (::fstat(file_.descriptor(), &st) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bytes_ = static_cast<uint64_t>(st.st_size);
    device_ = st.st_dev;
    inode_ = st.st_ino;
    started_ = false;
    return true;
}

bool FrameWalk::run(const Stretch& stretch, Progress& progress, const FrameVisitor& visit,
                    std::string& error) {
    if (started_ && !file_.rewind()) {
        error = file_.error();
        return false;
    }
    started_ = true;
    reachedEnd_ = false;
    bool inside = !stretch.fromUs;
    int32_t firstNumber = 0;
    int64_t firstUs = 0;
    uint32_t frames = 0;
    vektake::Item item;
    int r;
    while ((r = file_.next(item)) == 1) {
        if (item.kind != vektake::Kind::Frame) continue;
        if (stopRequested) {
            error = "interrupted";
            return false;
        }
        const vekwire::FrameHeader& h = item.frame.header;
        if (frames++ == 0) {
            firstNumber = h.frame;
            firstUs = h.generatedUs;
        }
        if ((frames & 1023) == 0) progress.update(file_.reader().offset(), bytes_);
        const int64_t timeUs = since(h.generatedUs, firstUs);
        if (!inside && timeUs >= *stretch.fromUs) inside = true;
        if (inside && stretch.toUs && timeUs >= *stretch.toUs) return true;
        if (!inside) continue;
        const WalkedFrame walked{item.frame, item.payload,    item.size, int64_t{h.frame} - firstNumber + 1,
                                 timeUs,     item.localTimeUs};
        if (!visit(walked, error)) return false;
    }
    if (r < 0) {
        error = file_.error();
        return false;
    }
    reachedEnd_ = true;
    return true;
}

}  // namespace taketool
