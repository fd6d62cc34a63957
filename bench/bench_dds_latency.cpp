// The latency vekdds adds: a real vekd at 960 Hz with the default scene
// (2 rigid bodies, 32 markers), vekdds as master, a DDS subscriber and a
// direct library client in the same run. Latency runs from the frame's
// generation time (its capture stamp) to the moment the sample or frame is
// in the reader's hands; the bridge adds the difference. Prints p50 and p99
// of each, and vekdds's share of a core.
//
//   build/bench/bench_dds_latency [SECONDS]   (default 20)

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bridge_process.h"
#include "library_watcher.h"
#include "ros_subscriber.h"
#include "server_process.h"
#include "tracker_files.h"

using namespace vekdds::testing;

namespace {

double percentileUs(std::vector<double> v, double share) {
    if (v.empty()) return 0;
    const auto k = static_cast<size_t>(share * static_cast<double>(v.size() - 1) + 0.5);
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    useLoopbackConfig();
    const int domain = privateDomain();
    testsupport::ServerProcess server({"--freq", "960"});
    DefaultTrackerFiles files(ledRange(14, 33));  // 12 + 20 markers
    RosSubscriber sub(domain);
    const dds_entity_t poses = sub.poseReader("/vek/wand/pose"), clouds = sub.cloudReader("/vek/markers");

    std::atomic<bool> recording{false}, done{false};
    std::vector<double> poseUs, cloudUs;
    std::thread reader([&] {
        while (!done) {
            if (!sub.wait(100)) continue;
            for (const PoseSample& s : sub.takePoses(poses))
                if (recording) poseUs.push_back(static_cast<double>(s.receivedNs - s.stampNs) / 1000);
            for (const CloudSample& s : sub.takeClouds(clouds))
                if (recording) cloudUs.push_back(static_cast<double>(s.receivedNs - s.stampNs) / 1000);
        }
    });
    BridgeProcess bridge({"-s", server.address(), "-t", files.wand, files.puck, files.points, "--domain",
                          std::to_string(domain)});
    if (!bridge.waitForOutput("as master", 5000)) {
        std::fprintf(stderr, "bench_dds_latency: vekdds did not start: %s\n", bridge.err().c_str());
        done = true;
        reader.join();
        return 1;
    }
    LibraryWatcher library(server.address());
    library.pumpFor(2);  // discovery and start-up
    library.frames.clear();
    const double cpuBefore = testsupport::processCpuSeconds(bridge.pid());
    recording = true;
    library.pumpFor(seconds);
    recording = false;
    const double cpu = testsupport::processCpuSeconds(bridge.pid()) - cpuBefore;
    done = true;
    reader.join();
    bridge.stop(2);

    std::vector<double> libraryUs;
    for (const auto& [generated, f] : library.frames)
        libraryUs.push_back(static_cast<double>(f.receivedUs - generated));
    const double lib50 = percentileUs(libraryUs, 0.5), lib99 = percentileUs(libraryUs, 0.99);
    std::printf("960 Hz, %.0f s, default scene (2 rigid bodies, 32 markers)\n", seconds);
    std::printf("  library client: %zu frames, p50 %.0f us, p99 %.0f us\n", libraryUs.size(), lib50, lib99);
    for (const auto& [name, v] : {std::pair{"DDS pose   ", &poseUs}, std::pair{"DDS markers", &cloudUs}}) {
        const double p50 = percentileUs(*v, 0.5), p99 = percentileUs(*v, 0.99);
        std::printf("  %s: %zu samples, p50 %.0f us, p99 %.0f us; added p50 %.0f us, p99 %.0f us\n", name,
                    v->size(), p50, p99, p50 - lib50, p99 - lib99);
    }
    std::printf("  vekdds CPU %.1f %% of a core\n", 100 * cpu / seconds);
    return 0;
}
