// vekd at the protocol's limits: the maximal scene (vekd/scenes/max.scene:
// 64 cameras, 585 LEDs) at 960 Hz for 16 clients, one master and 15 slaves,
// each taking markers, peaks and detector records of every frame; and vekd
// with nobody connected. Prints what every client received and lost and
// vekd's share of a core.
//
//   build/bench/bench_max_scene clients [N] [SECONDS] [HZ]   (default 16 10 960)
//   build/bench/bench_max_scene idle [SECONDS] [HZ]          (default 10 960)
//
// VEKD=path runs another vekd; VEK_SCENE=file another scene.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "client_processes.h"
#include "load_average.h"
#include "server_process.h"
#include "veksock.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Counts {
    long frames = 0, gaps = 0, markers = 0, peaks = 0, detectors = 0;
    int libDropped = 0, serverDropped = 0;
};

// Every stream's records of every frame, for `seconds` after the first.
// False when it cannot connect or the server breaks off.
bool runClient(const std::string& address, bool master, int seconds, float hz, Counts& out) {
    if (vekInit(address.c_str(), master ? 0 : VEK_SLAVE) != 0) return false;
    if (master) {
        vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = 0; led < VEK_MAX_MARKERS; ++led) vekMarkeri(led, VEK_MARKER_LED, led);
        vekTracker(0, VEK_ON);
        vekSetFloat(VEK_FREQUENCY, hz);
    }
    for (const int key : {VEK_MARKERS, VEK_IMAGES, VEK_DETECTORS}) vekSetInteger(key, VEK_ON);
    vekSetInteger(VEK_STREAMING, VEK_ON);
    static MarkerRecord markers[VEK_MAX_MARKERS];
    static ImageRecord images[VEK_MAX_IMAGES];
    static DetectorRecord detectors[VEK_MAX_DETECTORS];
    int last = -1, n = 0;
    const auto end = Clock::now() + std::chrono::seconds(seconds + 1);
    const auto counting = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < end) {
        while ((n = vekGetMarkers(markers, VEK_MAX_MARKERS)) > 0) {
            const int frame = markers[0].frame;
            const int peaks = vekGetImages(images, VEK_MAX_IMAGES);
            const int records = vekGetDetectors(detectors, VEK_MAX_DETECTORS);
            if (Clock::now() >= counting) {
                if (last >= 0) out.gaps += frame - last - 1;
                ++out.frames;
                out.markers += n;
                out.peaks += peaks;
                out.detectors += records;
            }
            last = frame;
        }
        if (n < 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    vekGetIntegerv(VEK_LIB_DROPPED, &out.libDropped);
    vekGetIntegerv(VEK_SERVER_DROPPED, &out.serverDropped);
    vekDone();
    return n >= 0;
}

std::string sceneFile() {
    const char* env = std::getenv("VEK_SCENE");
    return env && *env ? env : VEKD_MAX_SCENE;
}

// vekd's CPU over `seconds`, as a share of one core.
double cpuShare(const testsupport::ServerProcess& server, int seconds) {
    const double cpu0 = server.cpuSeconds();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    return (server.cpuSeconds() - cpu0) / wall * 100;
}

int clients(int count, int seconds, float hz) {
    testsupport::ServerProcess server({"--scene", sceneFile(), "--freq", "0"});
    testsupport::ClientProcesses processes(count, [&](int i, std::string& sent) {
        Counts c;
        const bool ok = runClient(server.address(), i == 0, seconds, hz, c);
        char line[400];
        std::snprintf(line, sizeof line,
                      "client %2d: %s %ld frames, %ld lost (gaps %ld, library drops %d, server drops %d); "
                      "per frame %.0f markers, %.0f peaks, %.0f detector records\n",
                      i, ok ? "  " : "FAILED", c.frames, c.gaps + c.libDropped, c.gaps, c.libDropped,
                      c.serverDropped, c.frames ? double(c.markers) / c.frames : 0.0,
                      c.frames ? double(c.peaks) / c.frames : 0.0,
                      c.frames ? double(c.detectors) / c.frames : 0.0);
        sent = line;
        return ok;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // all connected, counting
    const double share = cpuShare(server, seconds - 1);
    const std::string load = loadAverage();
    int failed = 0;
    for (const auto& outcome : processes.collect()) {
        std::fputs(outcome.sent.c_str(), stdout);
        failed += !outcome.succeeded;
    }
    std::printf("vekd: %.1f%% of a core with %d clients at %g Hz (load average %s)\n", share, count, hz,
                load.c_str());
    const std::string log = server.output();
    for (size_t at = log.find("warning"); at != std::string::npos; at = log.find("warning", at + 1))
        std::printf("vekd said: %s\n", log.substr(at, log.find('\n', at) - at).c_str());
    return failed ? 1 : 0;
}

int idle(int seconds, float hz) {
    testsupport::ServerProcess server({"--scene", sceneFile(), "--freq", std::to_string(hz)});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double share = cpuShare(server, seconds);
    std::printf("vekd: %.2f%% of a core at %g Hz with no client (load average %s)\n", share, hz,
                loadAverage().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "clients";
    auto arg = [&](int i, double fallback) { return argc > i ? std::atof(argv[i]) : fallback; };
    if (mode == "idle") return idle(static_cast<int>(arg(2, 10)), static_cast<float>(arg(3, 960)));
    if (mode == "clients")
        return clients(static_cast<int>(arg(2, 16)), static_cast<int>(arg(3, 10)),
                       static_cast<float>(arg(4, 960)));
    std::fprintf(stderr, "usage: bench_max_scene clients [N] [SECONDS] [HZ] | idle [SECONDS] [HZ]\n");
    return 2;
}
