// How long choosing "<find servers>" holds the Settings dock (and with it
// the whole window): the discovery scan against real vekds on loopback.
//   bench_settings_scan [rounds=50]
// Prints, per case, the median and the longest wall time of one scan.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "server_process.h"
#include "settings/server_scan.h"

namespace {

struct Figures {
    double medianMs, maxMs;
    std::size_t entries;
};

Figures Time(const std::string& targets, int rounds) {
    setenv("VEK_SCAN_TARGETS", targets.c_str(), 1);
    std::vector<double> ms;
    std::size_t entries = 0;
    for (int i = 0; i < rounds; ++i) {
        std::ostringstream err;
        const auto start = std::chrono::steady_clock::now();
        entries = ScanServers(err).entries.size();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back(), entries};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    testsupport::ServerProcess alpha({"--name", "alpha"});
    testsupport::ServerProcess beta({"--bind", "127.0.0.2", "--name", "beta"});
    if (!alpha.running() || !beta.running()) {
        std::fprintf(stderr, "error: vekd did not start\n");
        return 1;
    }
    const std::string a = "127.0.0.1:" + std::to_string(alpha.discoveryPort());
    const std::string b = "127.0.0.2:" + std::to_string(beta.discoveryPort());
    const std::string silent = "127.0.0.3:" + std::to_string(testsupport::unusedPort());
    struct Case {
        const char* what;
        std::string targets;
        int rounds;
    };
    const Case cases[] = {{"two servers, both answer", a + "," + b, rounds},
                          {"one server answers, one target silent", a + "," + silent, std::min(rounds, 3)},
                          {"no target can be asked", "127.0.0.1:nonsense", rounds}};
    std::printf("%-40s %8s %8s %8s\n", "case", "median", "longest", "entries");
    for (const Case& c : cases) {
        const Figures f = Time(c.targets, c.rounds);
        std::printf("%-40s %6.1fms %6.1fms %8zu\n", c.what, f.medianMs, f.maxMs, f.entries);
    }
    return 0;
}
