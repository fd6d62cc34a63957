#include "client_processes.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace testsupport {

ClientProcesses::ClientProcesses(int count, const Body& body) {
    for (int i = 0; i < count; ++i) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) break;
        vekwire::UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
        const pid_t pid = fork();
        if (pid < 0) break;
        if (pid == 0) {
            readEnd.reset();
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::string sent;
            const bool ok = body(i, sent);
            std::size_t written = 0;
            while (written < sent.size()) {
                const ssize_t n = write(writeEnd.get(), sent.data() + written, sent.size() - written);
                if (n <= 0) _exit(1);
                written += static_cast<std::size_t>(n);
            }
            _exit(ok ? 0 : 1);
        }
        pids_.push_back(pid);
        pipes_.push_back(std::move(readEnd));
    }
}

ClientProcesses::~ClientProcesses() { collect(); }

std::vector<ClientProcesses::Outcome> ClientProcesses::collect() {
    std::vector<Outcome> outcomes(pids_.size());
    for (std::size_t i = 0; i < pids_.size(); ++i) {
        char buffer[PIPE_BUF];
        ssize_t n;
        while ((n = read(pipes_[i].get(), buffer, sizeof buffer)) > 0)
            outcomes[i].sent.append(buffer, static_cast<std::size_t>(n));
        pipes_[i].reset();
        int status = 0;
        outcomes[i].succeeded =
            waitpid(pids_[i], &status, 0) == pids_[i] && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    pids_.clear();
    pipes_.clear();
    return outcomes;
}

}  // namespace testsupport
