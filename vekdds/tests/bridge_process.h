// Runs vekdds as a user does, for tests and benchmarks: its own process,
// standard output and error kept, stopped with SIGINT like Ctrl+C. It
// inherits the environment, with CYCLONEDDS_URI naming the loopback
// configuration (useLoopbackConfig).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "unique_fd.h"

namespace vekdds::testing {

class BridgeProcess {
public:
    explicit BridgeProcess(const std::vector<std::string>& args);
    ~BridgeProcess();
    BridgeProcess(const BridgeProcess&) = delete;
    BridgeProcess& operator=(const BridgeProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits up to timeoutMs for `text` on standard output.
    bool waitForOutput(const std::string& text, int timeoutMs);
    // Sends a signal (unless it has ended) and waits for the exit; the exit
    // status (or 128 + signal).
    int stop(int signal = 2);
    // Waits for the exit without a signal.
    int wait();
    const std::string& out();
    const std::string& err();

private:
    void readAvailable(int timeoutMs);
    int reap(int options);

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    vekwire::UniqueFd outFd_, errFd_;
    std::string out_, err_;
};

// vekdds's path: $VEKDDS, else the one built here.
std::string bridgePath();

}  // namespace vekdds::testing
