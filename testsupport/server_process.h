// Starts a real vekd for a test: on 127.0.0.1 (or the loopback address of a
// "--bind" argument), ephemeral TCP and discovery ports, and stops it
// (SIGTERM) when the object goes away.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "unique_fd.h"

namespace testsupport {

class ServerProcess {
public:
    // Extra arguments go after "--port 0 --discovery-port 0".
    explicit ServerProcess(std::vector<std::string> extraArgs = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    int port() const { return port_; }
    int discoveryPort() const { return discoveryPort_; }  // -1: discovery off
    std::string address() const;                          // "127.0.0.1:PORT" (the bound address)

    // Sends a signal and waits for the exit; returns the exit status
    // (or 128 + signal), -1 when not running.
    int stop(int signal = 15);
    // SIGSTOP, then waits until the process is stopped (false if it never
    // is); resume() lets it go on.
    bool suspend();
    void resume();
    // Everything the server printed on standard output so far.
    std::string output();
    // Waits up to timeoutMs for `text` to appear in the output.
    bool waitForOutput(const std::string& text, int timeoutMs = 3000);

    // CPU time (user and system) the server has used so far, in seconds,
    // and its resident memory in bytes; -1 when they cannot be read.
    double cpuSeconds() const;
    long residentBytes() const;

    static std::string programPath();

private:
    void readAvailable(int timeoutMs);

    pid_t pid_ = -1;
    vekwire::UniqueFd outFd_;
    std::string host_ = "127.0.0.1";
    int port_ = 0;
    int discoveryPort_ = 0;
    std::string output_;
};

// A loopback TCP port on which nothing listens (bound, then closed).
int unusedPort();

// How often `part` occurs in `text` (a server's output, say).
int occurrences(const std::string& text, const std::string& part);

// CPU time (user and system) process `pid` has used so far, in seconds; -1
// when it cannot be read.
double processCpuSeconds(pid_t pid);

}  // namespace testsupport
