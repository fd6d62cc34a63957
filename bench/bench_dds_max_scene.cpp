// The maximal scene on DDS: vekd --scene max.scene (585 markers every
// frame) at 960 Hz, vekdds as master with a point tracker on all 585 LEDs,
// one subscriber on /vek/markers. A library client beside them counts the
// frames vekd made. Prints clouds per second, points per cloud, clouds
// missed and vekdds's share of a core.
//
//   build/bench/bench_dds_max_scene [SECONDS]   (default 30)

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

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    useLoopbackConfig();
    const int domain = privateDomain();
    vekd::Scene scene;
    std::string error;
    if (!vekd::loadScene(VEKD_MAX_SCENE, scene, error)) {
        std::fprintf(stderr, "bench_dds_max_scene: %s\n", error.c_str());
        return 1;
    }
    std::vector<int> leds;
    for (const vekd::SceneLed& led : scene.leds) leds.push_back(led.id);
    testsupport::TempDir folder;
    const std::string points = folder.Write("all.pt", pointFile(leds));
    testsupport::ServerProcess server({"--freq", "960", "--scene", VEKD_MAX_SCENE});
    RosSubscriber sub(domain);
    const dds_entity_t clouds = sub.cloudReader("/vek/markers");

    std::atomic<bool> done{false};
    std::vector<int64_t> stamps;
    size_t fewest = SIZE_MAX, most = 0;
    std::thread reader([&] {
        while (!done) {
            if (!sub.wait(100)) continue;
            for (const CloudSample& c : sub.takeClouds(clouds)) {
                stamps.push_back(c.stampNs);
                fewest = std::min(fewest, c.points.size());
                most = std::max(most, c.points.size());
            }
        }
    });
    BridgeProcess bridge({"-s", server.address(), "-t", points, "--domain", std::to_string(domain)});
    if (!bridge.waitForOutput("as master", 5000)) {
        std::fprintf(stderr, "bench_dds_max_scene: vekdds did not start: %s\n", bridge.err().c_str());
        done = true;
        reader.join();
        return 1;
    }
    LibraryWatcher library(server.address());
    library.pumpFor(2);
    library.frames.clear();
    const double cpuBefore = testsupport::processCpuSeconds(bridge.pid());
    library.pumpFor(seconds);
    const double cpu = testsupport::processCpuSeconds(bridge.pid()) - cpuBefore;
    const int64_t first = library.frames.begin()->first, last = library.frames.rbegin()->first;
    library.pumpFor(0.5);  // the last clouds of the stretch arrive
    done = true;
    reader.join();
    bridge.stop(2);

    // The frames vekd made in the stretch, and their clouds.
    const int64_t offset = vekdds::realtimeMinusSteadyNs();
    long long matched = 0;
    for (const int64_t s : stamps) {
        const LibraryFrame* f = frameAt(library.frames, s, offset);
        matched += f && f->generatedUs >= first && f->generatedUs <= last;
    }
    double made = 0;
    for (const auto& [g, f] : library.frames) made += g <= last;
    std::printf("maximal scene, 960 Hz asked, %.0f s: vekd made %.0f frames (%.1f per s)\n", seconds, made,
                made / seconds);
    std::printf(
        "  /vek/markers: %lld clouds of those frames (%.1f per s), %.0f missed, %zu to %zu points a cloud\n",
        matched, static_cast<double>(matched) / seconds, made - static_cast<double>(matched),
        fewest == SIZE_MAX ? 0 : fewest, most);
    std::printf("  vekdds CPU %.1f %% of a core\n", 100 * cpu / seconds);
    return 0;
}
