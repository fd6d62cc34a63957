// A file that vektake writes: whole or not at all (a temporary file beside
// it, renamed over it at the end), in large writes, and never the take
// being read, under whatever name it is given (a link, another path to
// the same file).
#pragma once

#include <string>

#include "atomic_file.h"
#include "frame_walk.h"

namespace taketool {

class OutputFile {
public:
    ~OutputFile() { discard(); }

    // False with the reason when the file cannot be written or is the take.
    bool open(const std::string& path, const FrameWalk& input, std::string& error);
    // Format into buffer(), then call flush(): it writes once enough is
    // gathered (or always, with `all`). False with the error.
    std::string& buffer() { return buffer_; }
    bool flush(std::string& error, bool all = false);
    // Writes what is left, then renames the file over its name.
    bool commit(std::string& error);
    // Removes the temporary file; the name is left as it was.
    void discard();
    const std::string& path() const { return path_; }

private:
    vektk::AtomicFileStream file_;
    std::string path_, buffer_;
    bool open_ = false;
};

}  // namespace taketool
