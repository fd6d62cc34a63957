// vekdds fanning out to subscriber processes: a real vekd at 960 Hz with
// the default scene (2 rigid bodies, 32 markers), vekdds as master, N
// subscriber processes each reading both poses, /tf and the markers,
// reliable. A library client beside them says which frames came and which
// bodies were seen in each; over the measured stretch every subscriber must
// have every one of those samples. Prints the samples each subscriber
// missed and vekdds's share of a core.
//
//   build/bench/bench_dds_fanout [SUBSCRIBERS] [SECONDS]   (default 16 30)

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "bridge_process.h"
#include "library_watcher.h"
#include "ros_subscriber.h"
#include "server_process.h"
#include "tracker_files.h"

using namespace vekdds::testing;

namespace {

constexpr int kTopics = 4;  // wand pose, puck pose, transforms, markers
const char* const kTopicNames[kTopics] = {"wand", "puck", "tf", "markers"};

// One subscriber process: takes everything until `quit` closes, then
// writes the stamps it got, topic by topic, to `path`.
int subscribe(int domain, int quit, const std::string& path) {
    RosSubscriber sub(domain);
    const dds_entity_t readers[3] = {sub.poseReader("/vek/wand/pose"), sub.poseReader("/vek/puck/pose"),
                                     sub.cloudReader("/vek/markers")};
    const dds_entity_t tf = sub.tfReader();
    std::vector<int64_t> stamps[kTopics];
    for (;;) {
        pollfd p{quit, POLLIN, 0};
        if (poll(&p, 1, 0) > 0) break;
        if (!sub.wait(50)) continue;
        for (const auto& s : sub.takePoses(readers[0])) stamps[0].push_back(s.stampNs);
        for (const auto& s : sub.takePoses(readers[1])) stamps[1].push_back(s.stampNs);
        for (const auto& s : sub.takeTransforms(tf)) stamps[2].push_back(s.stampNs);
        for (const auto& s : sub.takeClouds(readers[2])) stamps[3].push_back(s.stampNs);
    }
    std::ofstream out(path, std::ios::binary);
    for (const auto& v : stamps) {
        const uint64_t n = v.size();
        out.write(reinterpret_cast<const char*>(&n), sizeof n);
        out.write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(n * sizeof(int64_t)));
    }
    return out ? 0 : 1;
}

std::vector<int64_t> readStamps(std::ifstream& in) {
    uint64_t n = 0;
    in.read(reinterpret_cast<char*>(&n), sizeof n);
    std::vector<int64_t> v(in ? n : 0);
    in.read(reinterpret_cast<char*>(v.data()), static_cast<std::streamsize>(v.size() * sizeof(int64_t)));
    return v;
}

bool seen(const LibraryFrame& f, int id) {
    for (const RigidRecord& r : f.rigids)
        if (r.id == id && r.cond > 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int subscribers = argc > 1 ? std::atoi(argv[1]) : 16;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30;
    useLoopbackConfig();
    const int domain = privateDomain();
    testsupport::ServerProcess server({"--freq", "960"});
    DefaultTrackerFiles files(ledRange(14, 33));  // 12 + 20 markers

    int quit[2];
    if (pipe2(quit, O_CLOEXEC) != 0) return 1;
    vekwire::UniqueFd quitRead(quit[0]), quitWrite(quit[1]);  // closing the write end ends the subscribers
    std::vector<pid_t> children;
    for (int i = 0; i < subscribers; ++i) {
        const pid_t pid = fork();
        if (pid < 0) return 1;
        if (pid == 0) {
            quitWrite.reset();
            _exit(subscribe(domain, quitRead.get(), files.folder.File("sub" + std::to_string(i))));
        }
        children.push_back(pid);
    }
    quitRead.reset();
    BridgeProcess bridge({"-s", server.address(), "-t", files.wand, files.puck, files.points, "--domain",
                          std::to_string(domain)});
    if (!bridge.waitForOutput("as master", 5000)) {
        std::fprintf(stderr, "bench_dds_fanout: vekdds did not start: %s\n", bridge.err().c_str());
        return 1;
    }
    LibraryWatcher library(server.address());
    library.pumpFor(3);  // every subscriber discovers vekdds's writers
    library.frames.clear();
    const double cpuBefore = testsupport::processCpuSeconds(bridge.pid());
    const double vekdBefore = server.cpuSeconds();
    library.pumpFor(seconds);
    const double cpu = testsupport::processCpuSeconds(bridge.pid()) - cpuBefore;
    const double vekdCpu = server.cpuSeconds() - vekdBefore;
    const int64_t first = library.frames.begin()->first, last = library.frames.rbegin()->first;
    library.pumpFor(2);  // the last samples of the stretch arrive
    bridge.stop(2);
    quitWrite.reset();
    for (const pid_t pid : children) waitpid(pid, nullptr, 0);

    // What every subscriber should have: the frames of the measured stretch
    // (by generation time), a pose where a body was seen, a transform per
    // body seen, a cloud per frame.
    const int64_t offset = vekdds::realtimeMinusSteadyNs();
    long long expected[kTopics] = {};
    for (const auto& [g, f] : library.frames) {
        if (g < first || g > last) continue;
        const int bodies = seen(f, 0) + seen(f, 1);
        expected[0] += seen(f, 0), expected[1] += seen(f, 1), expected[2] += bodies, expected[3] += 1;
    }
    std::printf("%d subscribers, 960 Hz, %.0f s, default scene (2 rigid bodies, 32 markers), reliable\n",
                subscribers, seconds);
    std::printf("  expected per subscriber: %lld wand poses, %lld puck poses, %lld transforms, %lld clouds\n",
                expected[0], expected[1], expected[2], expected[3]);
    long long lostInAll = 0;
    for (int i = 0; i < subscribers; ++i) {
        std::ifstream in(files.folder.File("sub" + std::to_string(i)), std::ios::binary);
        std::printf("  subscriber %2d missed:", i);
        for (int t = 0; t < kTopics; ++t) {
            long long got = 0;
            for (const int64_t stamp : readStamps(in)) {
                const LibraryFrame* f = frameAt(library.frames, stamp, offset);
                got += f && f->generatedUs >= first && f->generatedUs <= last;
            }
            std::printf(" %s %lld", kTopicNames[t], expected[t] - got);
            lostInAll += expected[t] - got;
        }
        std::printf("\n");
    }
    std::printf(
        "  lost in all: %lld; vekdds CPU %.1f %% of a core, vekd %.1f %%; frames in the stretch %lld\n",
        lostInAll, 100 * cpu / seconds, 100 * vekdCpu / seconds, expected[3]);
    return lostInAll == 0 ? 0 : 1;
}
