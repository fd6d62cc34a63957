// vekrec against a real vekd with the default scene at 960 Hz, every stream
// on (vekrec is master, point tracker on all 32 LEDs): frames recorded and
// dropped, bytes per frame, MB per minute and the recorder's CPU.
// Usage: bench_record [seconds=60] [hz=960]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "server_process.h"
#include "take_file.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    const std::string hz = argc > 2 ? argv[2] : "960";
    testsupport::ServerProcess server({"--freq", hz});
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench_record_" + std::to_string(getpid()) + ".vektake"))
            .string();
    const std::string limit = std::to_string(seconds);
    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        execl(VEKREC_PATH, "vekrec", "-s", server.address().c_str(), "-o", path.c_str(), "-t", limit.c_str(),
              nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    vektake::Summary take;
    std::string error;
    const bool read = vektake::scanTake(path, take, error);
    std::filesystem::remove(path);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !read) {
        std::fprintf(stderr, "bench_record: recording failed (%s)\n", error.c_str());
        return 1;
    }
    const double perFrame = static_cast<double>(take.bytes) / take.frames;
    const double recorded = static_cast<double>(take.end.durationUs) / 1e6;
    std::printf(
        "%s Hz, %.0f s: %u frames (%.1f per s), %u dropped, %.0f bytes per frame, %.0f MB per minute, "
        "vekrec CPU %.1f %% of a core, take %.1f MB\n",
        hz.c_str(), seconds, take.frames, take.frames / recorded, take.end.dropped, perFrame,
        perFrame * take.frames / recorded * 60 / 1e6, 100 * cpu / seconds,
        static_cast<double>(take.bytes) / 1e6);
    return take.end.dropped == 0 ? 0 : 1;
}
