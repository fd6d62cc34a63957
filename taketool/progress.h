// One line of progress on a terminal while a long take is read: shown
// once the work has taken a second, updated four times a second, wiped
// when the work ends. Nothing at all when the output is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace taketool {

class Progress {
public:
    Progress(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}
    ~Progress() { finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // What is being done now ("reading take.vektake").
    void stage(std::string what);
    void update(uint64_t done, uint64_t total);
    // Wipes the line, if one was shown.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& out_;
    bool terminal_;
    std::string what_;
    Clock::time_point start_ = Clock::now(), shown_{};
    size_t width_ = 0;  // of the line shown, 0 when none is
};

}  // namespace taketool
