#include "bridge_process.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "ros_subscriber.h"

namespace vekdds::testing {

std::string bridgePath() {
    const char* env = std::getenv("VEKDDS");
    return env && *env ? env : VEKDDS_PATH;
}

BridgeProcess::BridgeProcess(const std::vector<std::string>& args) {
    useLoopbackConfig();  // never DDS beyond loopback from a test
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    outFd_.reset(out[0]);
    vekwire::UniqueFd outWrite(out[1]);
    if (pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    errFd_.reset(err[0]);
    vekwire::UniqueFd errWrite(err[1]);
    std::vector<std::string> all = {bridgePath()};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("fork failed");
}

BridgeProcess::~BridgeProcess() { stop(9); }

void BridgeProcess::readAvailable(int timeoutMs) {
    pollfd p[2] = {{outFd_.get(), POLLIN, 0}, {errFd_.get(), POLLIN, 0}};
    std::string* text[2] = {&out_, &err_};
    while (poll(p, 2, timeoutMs) > 0) {
        bool any = false;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[PIPE_BUF];
            const ssize_t n = read(p[i].fd, buf, sizeof buf);
            if (n > 0) text[i]->append(buf, static_cast<size_t>(n)), any = true;
            if (n <= 0) p[i].fd = -1;  // this end is closed: poll no longer asks
        }
        if (!any) break;
        timeoutMs = 0;
    }
}

bool BridgeProcess::waitForOutput(const std::string& text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out_.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left <= 0 || (pid_ > 0 && reap(WNOHANG) >= 0)) {
            readAvailable(0);
            return out_.find(text) != std::string::npos;
        }
        readAvailable(static_cast<int>(std::min<long long>(left, 100)));
    }
    return true;
}

int BridgeProcess::reap(int options) {
    int status = 0;
    if (waitpid(pid_, &status, options) != pid_) return -1;
    pid_ = -1;
    readAvailable(0);
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exitStatus_;
}

int BridgeProcess::stop(int signal) {
    if (pid_ <= 0) return exitStatus_;
    kill(pid_, signal);
    return wait();
}

int BridgeProcess::wait() {
    if (pid_ <= 0) return exitStatus_;
    // Read while waiting: a child whose pipe is full would never exit.
    for (;;) {
        if (reap(WNOHANG) >= 0) return exitStatus_;
        readAvailable(20);
    }
}

const std::string& BridgeProcess::out() {
    readAvailable(0);
    return out_;
}

const std::string& BridgeProcess::err() {
    readAvailable(0);
    return err_;
}

}  // namespace vekdds::testing
