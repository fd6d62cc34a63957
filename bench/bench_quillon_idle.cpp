// quillon idle with a body open: the share of one core it uses while
// nothing changes (its editor step waits out each 1/30 s in FLTK).
// A driver printing figures; needs a display (run under xvfb-run).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "temp_dir.h"

namespace {

// User plus system CPU time of a process, in seconds; -1 when unreadable.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 15 && stat >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);
    return stat ? static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::stoi(argv[1]) : 20;
    const testsupport::TempDir folder;
    const std::string body = folder.File("body.rb");
    std::ofstream(body) << "0, 0 0 0\n1, 120.5 0 0\n2, 0 80 0\n3, 0 0 60\n4, 40 40 40\n5, -30 20 10\n";

    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        execl(QUILLON_PATH, QUILLON_PATH, body.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // window up, first frames drawn
    const double before = cpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double after = cpuSeconds(pid);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (before < 0 || after < 0) {
        std::fprintf(stderr, "quillon did not stay up\n");
        return 1;
    }
    std::printf("quillon idle with a body of 6 markers: %.2f %% of one core over %.0f s\n",
                100 * (after - before) / wall, wall);
    return 0;
}
