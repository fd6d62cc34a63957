// What the lab key costs a client's connection: vekInit (TCP connect,
// Hello, and with a key the Challenge and Proof, then the Welcome and the
// camera list) against a real vekd on loopback, many rounds each way, with
// p50 and p99. The machine's load average ends each line.
//
//   build/bench/bench_handshake [ROUNDS]      (default 2000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "lab_key.h"
#include "load_average.h"
#include "server_process.h"
#include "veksock.h"

using Clock = std::chrono::steady_clock;

namespace {

// Microseconds of each vekInit; empty when one fails.
std::vector<double> connectRounds(testsupport::ServerProcess& server, int rounds) {
    std::vector<double> us;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const int r = vekInit(server.address().c_str(), VEK_SLAVE);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        vekDone();
        if (r != 0) {
            std::fprintf(stderr, "error: vekInit answered %d (code 0x%x)\n", r, vekGetError());
            return {};
        }
        if (i % 100 == 0) server.output();  // keep its log pipe from filling
    }
    return us;
}

void report(const char* what, std::vector<double> us) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    auto pct = [&](double p) { return us[static_cast<size_t>(p * static_cast<double>(us.size() - 1))]; };
    std::printf("%-44s p50 %6.0f us  p99 %6.0f us  max %6.0f us  (%zu rounds); load %s\n", what, pct(0.5),
                pct(0.99), us.back(), us.size(), loadAverage().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string key = (std::filesystem::temp_directory_path() / "bench_handshake.key").string();
    std::filesystem::remove(key);
    std::string why;
    if (!vekwire::LabKey::generate().write(key, why)) {
        std::fprintf(stderr, "error: %s\n", why.c_str());
        return 1;
    }
    unsetenv("VEK_KEY_FILE");
    setenv("HOME", "/nonexistent", 1);  // no ~/.config/vek/key
    {
        testsupport::ServerProcess keyless({"--discovery-port", "-1"});
        report("no key (server and client)", connectRounds(keyless, rounds));
    }
    testsupport::ServerProcess keyed({"--discovery-port", "-1", "--key-file", key});
    vekLoadKey(key.c_str());
    report("lab key given once (vekLoadKey)", connectRounds(keyed, rounds));
    vekLoadKey(nullptr);
    setenv("VEK_KEY_FILE", key.c_str(), 1);
    report("lab key read at each vekInit (VEK_KEY_FILE)", connectRounds(keyed, rounds));
    std::filesystem::remove(key);
    return 0;
}
