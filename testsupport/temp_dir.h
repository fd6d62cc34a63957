// A temporary folder for one test, removed with its files afterwards, and
// programs run in it as a user runs them.
#pragma once

#include <string>

namespace testsupport {

// What a program run printed, and how it ended.
struct ProgramRun {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string out, err;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes `content` to the file `name` here; its path.
    std::string Write(const std::string& name, const std::string& content) const;
    static std::string Read(const std::string& path);

    // Runs the shell command line `command` in this folder with HOME set to
    // it, without VEK_SERVER and with nothing on standard input; what it
    // printed comes back (and stays in the files "out" and "err" here).
    // Variables may lead the line: "VEK_SCAN_PORT=0 program -x".
    ProgramRun Run(const std::string& command) const;

private:
    std::string path_;
};

}  // namespace testsupport
