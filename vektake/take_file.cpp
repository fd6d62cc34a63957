#include "take_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "regular_file.h"

namespace vektake {

namespace {

constexpr size_t kChunk = 1 << 20;

}  // namespace

bool collectPeakLeds(const vekwire::FrameView& f, std::vector<int>& leds) {
    for (uint32_t i = 0; i < f.count[VEK_IMAGE_STREAM]; ++i) {
        ImageRecord r;
        std::memcpy(&r, f.records[VEK_IMAGE_STREAM] + size_t{i} * sizeof r, sizeof r);
        if (r.id < 0) continue;
        const auto at = std::lower_bound(leds.begin(), leds.end(), r.id);
        if (at != leds.end() && *at == r.id) continue;
        if (leds.size() >= kMaxLeds) return false;
        leds.insert(at, r.id);
    }
    return true;
}

bool TakeFile::open(const std::string& path, std::string& error) {
    path_ = path;
    std::string why;
    fd_ = vekwire::openRegularFile(path, why);
    if (!fd_.valid()) {
        error = path + ": " + why;
        return false;
    }
    reader_.reset();
    eof_ = false;
    ioError_.clear();
    return true;
}

int TakeFile::next(Item& item) {
    for (;;) {
        const int r = reader_.next(item);
        if (r != 0) return r;
        if (eof_ || !ioError_.empty()) return ioError_.empty() ? 0 : -1;
        ssize_t n;
        do {
            n = ::read(fd_.get(), reader_.prepare(kChunk), kChunk);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            ioError_ = std::strerror(errno);
            return -1;
        }
        reader_.commit(static_cast<size_t>(n));
        eof_ = n == 0;
    }
}

bool TakeFile::rewind() {
    reader_.reset();
    eof_ = false;
    if (::lseek(fd_.get(), 0, SEEK_SET) == 0) return true;
    ioError_ = std::strerror(errno);
    return false;
}

std::string TakeFile::error() const {
    return path_ + ": " + (ioError_.empty() ? reader_.error() : "cannot read: " + ioError_);
}

std::string TakeFile::cutShort() const {
    const std::string why = reader_.cutShort();
    return why.empty() ? why : path_ + ": " + why;
}

bool scanTake(const std::string& path, Summary& out, std::string& error) {
    TakeFile file;
    return file.open(path, error) && scanTake(file, out, error);
}

bool scanTake(TakeFile& file, Summary& out, std::string& error) {
    out = Summary{};
    Item item;
    int r;
    while ((r = file.next(item)) == 1) {
        if (item.kind == Kind::End) out.end = item.end;
        if (item.kind != Kind::Frame) continue;
        if (out.frames++ == 0) out.frequency = item.frame.header.frequency;
        out.peakSections |= (item.frame.header.mask & VEK_IMAGE_BIT) != 0;
        if ((file.reader().session().flags & kPeaksCarryLeds) && !collectPeakLeds(item.frame, out.leds)) {
            error = file.path() + ": byte " + std::to_string(item.offset) + " (frame " +
                    std::to_string(out.frames) + "): peaks name more than " + std::to_string(kMaxLeds) +
                    " LEDs";
            return false;
        }
    }
    if (r < 0) {
        error = file.error();
        return false;
    }
    out.session = file.reader().session();
    out.cameras = file.reader().cameras();
    out.cutShort = file.cutShort();
    out.bytes = file.reader().offset();
    return true;
}

}  // namespace vektake
