// Opening a user's file for reading only when it is a regular file. A
// FIFO, device or folder named where a file belongs is refused at once
// with the reason, never waited on (opening a FIFO waits for a writer,
// reading it for data).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "unique_fd.h"

namespace vekwire {

// The open descriptor, or an empty one with `why` set: the system's reason
// ("No such file or directory") or what the path names instead ("a FIFO,
// not a regular file"); errno is then the system's error, or 0 for a path
// that names no regular file. Symbolic links are followed.
UniqueFd openRegularFile(const std::string& path, std::string& why);

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The same as a stdio stream for reading; null with `why` set.
FileHandle openRegularFileStream(const std::string& path, std::string& why);

// Appends what is left to read of `fd` to `out`; false (errno set) on a
// read error.
bool readAll(int fd, std::string& out);

}  // namespace vekwire
