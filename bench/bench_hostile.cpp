// vekd against hostile peers: a stopped process, a flooding slave, slaves
// that never read, descriptor exhaustion, discovery queries. Prints one
// line of figures per case; VEKD=path runs another vekd program.
//
//   build/bench/bench_hostile [stall|flood|idle|descriptors|discovery]... [SECONDS]
//
// SECONDS (default 5) bounds the idle case: frequency changes go on until
// every slave that does not read has been closed, or for that long.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "raw_client.h"
#include "server_process.h"

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

int idleSeconds = 5;

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::unique_ptr<RawClient> streamingMaster(const ServerProcess& server) {
    auto c = std::make_unique<RawClient>(server.port());
    c->hello();
    c->request(vekwire::Op::SetInteger, 0, VEK_STREAMING, VEK_ON);
    return c;
}

void stall() {
    ServerProcess server({"--freq", "960"});
    auto master = streamingMaster(server);
    master->watch(2.0);
    kill(server.pid(), SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(server.pid(), SIGCONT);
    const auto after = master->watch(2.0);
    std::printf(
        "stall: after 300 ms stopped at 960 Hz, %d frames in the first 100 ms, %d in 2 s, "
        "longest gap %.0f ms\n",
        after.firstTenth, after.frames, after.longestGap * 1000);
}

void flood() {
    ServerProcess server({"--freq", "960"});
    auto master = streamingMaster(server);
    master->watch(0.5);
    std::atomic<bool> stop{false};
    std::thread flooder(floodRequests, server.port(), std::cref(stop));
    master->watch(0.2);
    const auto seen = master->watch(3.0);
    stop = true;
    flooder.join();
    std::printf(
        "flood: while a slave floods requests, the master gets %.0f frames/s at 960 Hz, "
        "longest gap %.0f ms\n",
        seen.frames / 3.0, seen.longestGap * 1000);
}

void idle() {
    ServerProcess server({"--freq", "100", "--queue-bytes", "65536"});
    RawClient master(server.port());
    master.hello();
    std::vector<std::unique_ptr<RawClient>> slaves;
    for (int i = 0; i < 4; ++i) {
        slaves.push_back(std::make_unique<RawClient>(server.port()));
        slaves.back()->hello(VEK_SLAVE);
    }
    const long rss = server.residentBytes();
    std::string flips;
    for (uint32_t i = 0; i < 200; ++i)
        flips += requestBytes(i, vekwire::Op::SetFloat, 0, VEK_FREQUENCY, 0, i % 2 ? 200.0f : 100.0f);
    const auto start = Clock::now();
    long changes = 0;
    std::string out;
    while (Clock::now() - start < std::chrono::seconds(idleSeconds) && count(out, "does not read") < 4) {
        master.write(flips);
        if (!master.replies(200)) break;
        changes += 200;
        out = server.output();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double grown = (server.residentBytes() - rss) / 1e6;
    std::printf(
        "idle: %ld frequency changes in %.1f s to 4 slaves that never read: %d of them closed, "
        "vekd grew %.1f MB (%.2f MB/s), %d frequency lines logged\n",
        changes, seconds, count(out, "does not read"), grown, grown / seconds, count(out, "\nfrequency "));
}

void descriptors() {
    ServerProcess server({"--freq", "100"});
    auto good = streamingMaster(server);
    const auto open = std::distance(
        std::filesystem::directory_iterator("/proc/" + std::to_string(server.pid()) + "/fd"), {});
    const rlimit limit{static_cast<rlim_t>(open + 4), static_cast<rlim_t>(open + 4)};
    prlimit(server.pid(), RLIMIT_NOFILE, &limit, nullptr);
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 20; ++i) idle.push_back(std::make_unique<RawClient>(server.port()));
    good->watch(0.3);
    const double cpu = server.cpuSeconds();
    const auto seen = good->watch(2.0);
    std::printf(
        "descriptors: out of descriptors with 16 connections waiting, vekd uses %.0f %% of a "
        "core, a streaming client gets %.0f frames/s at 100 Hz, %d log lines\n",
        (server.cpuSeconds() - cpu) / 2.0 * 100, seen.frames / 2.0, count(server.output(), "accept"));
}

// Bytes of the answer to one query, 0 for none.
long answerBytes(const ServerProcess& server, const std::string& query) {
    const vekwire::UniqueFd owned(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const int fd = owned.get();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(server.discoveryPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    char buf[2048];
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 300) > 0 ? recv(fd, buf, sizeof buf, 0) : 0;
}

void discovery() {
    ServerProcess server;
    const std::string padded = vekwire::encodeScanQuery("");
    const std::string bare = padded.substr(0, 10);  // magic, kind, zero, empty label
    std::printf("discovery: a %zu-byte query gets %ld bytes back, a %zu-byte query %ld bytes\n", bare.size(),
                answerBytes(server, bare), padded.size(), answerBytes(server, padded));
}

}  // namespace

int main(int argc, char** argv) {
    const std::pair<const char*, void (*)()> cases[] = {{"stall", stall},
                                                        {"flood", flood},
                                                        {"idle", idle},
                                                        {"descriptors", descriptors},
                                                        {"discovery", discovery}};
    bool named = false;
    for (int i = 1; i < argc; ++i) {
        if (std::atoi(argv[i]) > 0)
            idleSeconds = std::atoi(argv[i]);
        else
            named = true;
    }
    for (const auto& [name, run] : cases) {
        bool wanted = !named;
        for (int i = 1; i < argc; ++i) wanted |= std::string(argv[i]) == name;
        if (wanted) {
            run();
            std::fflush(stdout);
        }
    }
    return 0;
}
