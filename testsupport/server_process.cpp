#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <limits.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::string ServerProcess::programPath() {
    const char* env = getenv("VEKD");
    return env && *env ? env : VEKD_PATH;
}

ServerProcess::ServerProcess(std::vector<std::string> extraArgs) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    vekwire::UniqueFd writeEnd(fds[1]);
    outFd_.reset(fds[0]);
    std::vector<std::string> args = {programPath(), "--port", "0", "--discovery-port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], 1);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    writeEnd.reset();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (!waitForOutput("\n", 5000)) {
        stop(9);
        throw std::runtime_error("vekd did not start: " + output_);
    }
    // "... on HOST:PORT, discovery on udp port N, ..." (or "discovery off"):
    // HOST is what --bind named.
    const auto disc = output_.find(", discovery ");
    const auto on = disc == std::string::npos ? disc : output_.rfind(" on ", disc);
    const auto colon = on == std::string::npos ? on : output_.rfind(':', disc);
    if (on == std::string::npos || colon == std::string::npos || colon < on) {
        stop(9);
        throw std::runtime_error("unexpected vekd start line: " + output_);
    }
    host_ = output_.substr(on + 4, colon - on - 4);
    port_ = std::atoi(output_.c_str() + colon + 1);
    const std::string udp = ", discovery on udp port ";
    discoveryPort_ =
        output_.compare(disc, udp.size(), udp) == 0 ? std::atoi(output_.c_str() + disc + udp.size()) : -1;
}

ServerProcess::~ServerProcess() { stop(); }

std::string ServerProcess::address() const { return host_ + ":" + std::to_string(port_); }

int ServerProcess::stop(int signal) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    readAvailable(0);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

bool ServerProcess::suspend() {
    if (pid_ <= 0 || kill(pid_, SIGSTOP) != 0) return false;
    for (int i = 0; i < 5000; ++i) {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        const auto close = text.rfind(") ");  // the name may hold blanks
        if (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'T') return true;
        usleep(1000);
    }
    return false;
}

void ServerProcess::resume() {
    if (pid_ > 0) kill(pid_, SIGCONT);
}

double ServerProcess::cpuSeconds() const { return processCpuSeconds(pid_); }

double processCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto close = text.rfind(')');  // the name may hold blanks
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;  // state ... cmajflt
    long user = 0, system = 0;
    if (!(fields >> user >> system)) return -1;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long ServerProcess::residentBytes() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    return -1;
}

void ServerProcess::readAvailable(int timeoutMs) {
    if (!outFd_.valid()) return;
    pollfd p{outFd_.get(), POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0) {
        char buf[PIPE_BUF];
        const ssize_t n = read(outFd_.get(), buf, sizeof buf);
        if (n <= 0) break;
        output_.append(buf, static_cast<size_t>(n));
        timeoutMs = 0;
    }
}

std::string ServerProcess::output() {
    readAvailable(0);
    return output_;
}

bool ServerProcess::waitForOutput(const std::string& text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output_.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) return false;
        readAvailable(static_cast<int>(left));
    }
    return true;
}

int unusedPort() {
    const vekwire::UniqueFd socket_(socket(AF_INET, SOCK_STREAM, 0));
    const int fd = socket_.get();
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

int occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace testsupport
