// What fuzz targets make of their bytes: a command line (arguments split at
// NUL bytes) or a file (the bytes behind a path that file readers open).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "unique_fd.h"

namespace vekfuzz {

// argv for `program`: the bytes split at NUL bytes, at most `maxArgs` of them.
class CommandLine {
public:
    CommandLine(const char* program, const uint8_t* data, std::size_t size, std::size_t maxArgs = 64) {
        args_.emplace_back(program);
        std::string arg;
        for (std::size_t i = 0; i < size && args_.size() <= maxArgs; ++i) {
            if (data[i] != 0) {
                arg.push_back(static_cast<char>(data[i]));
                continue;
            }
            args_.push_back(arg);
            arg.clear();
        }
        if (!arg.empty() && args_.size() <= maxArgs) args_.push_back(arg);
        for (std::string& a : args_) argv_.push_back(a.data());
        argv_.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(argv_.size()) - 1; }
    char** argv() { return argv_.data(); }

private:
    std::vector<std::string> args_;
    std::vector<char*> argv_;
};

// The bytes as a file in memory, opened by path like any file.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, std::size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        std::size_t written = 0;
        while (fd_.valid() && written < size) {
            const ssize_t n = write(fd_.get(), data + written, size - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
    }
    bool ok() const { return fd_.valid(); }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_.get()); }

private:
    vekwire::UniqueFd fd_;
};

}  // namespace vekfuzz
