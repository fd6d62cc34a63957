// Clients in processes of their own, forked from this one and run at once
// against a server: process i runs body(i, sent), the first at once, the
// others 300 ms later (once the master has set the server up), and sends
// back what it put in `sent`.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "unique_fd.h"

namespace testsupport {

class ClientProcesses {
public:
    using Body = std::function<bool(int index, std::string& sent)>;
    ClientProcesses(int count, const Body& body);
    ~ClientProcesses();
    ClientProcesses(const ClientProcesses&) = delete;
    ClientProcesses& operator=(const ClientProcesses&) = delete;

    struct Outcome {
        std::string sent;
        bool succeeded = false;  // the body returned true and the process exited normally
    };
    // Waits for every process; their outcomes in order of index.
    std::vector<Outcome> collect();

private:
    std::vector<pid_t> pids_;
    std::vector<vekwire::UniqueFd> pipes_;  // read ends, one per process
};

}  // namespace testsupport
