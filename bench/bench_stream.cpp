// Streaming from a real vekd at 960 Hz with the default scene's markers:
// latency from generation to fetchable, client CPU, frames lost, and many
// clients at once.
//
// Two latencies in the same run: the master's, taken for the newest frame
// of each fetch (as the peer is measured), and that of every frame, taken
// by a slave in the same loop the moment it reads the frame off its socket
// (frames that waited behind a newer one count too). Each line ends with
// the machine's load average.
//
//   build/bench/bench_stream latency SECONDS          busy-polling client
//   build/bench/bench_stream poll1ms SECONDS          client polling every 1 ms
//   build/bench/bench_stream clients N SECONDS        N clients polling every 1 ms
#include <sys/resource.h>

#include <algorithm>
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
#include "session.h"
#include "veksock.h"

using Clock = std::chrono::steady_clock;

namespace {

long long nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

struct Result {
    long frames = 0, gaps = 0, libDropped = 0, serverDropped = 0;
    double cpuPercent = 0;
    std::vector<long long> latencies;       // newest frame of each fetch
    std::vector<long long> everyFrameAges;  // every frame, when read off the socket
};

// A slave on the wire itself: stamps each frame as it takes it off the socket.
class EveryFrameWatcher {
public:
    explicit EveryFrameWatcher(std::vector<long long>& ages) : ages_(ages) {}
    bool start(const std::string& address) {
        if (session_.init(address.c_str(), VEK_SLAVE) != 0) return false;
        session_.setFrameSink([this](const uint8_t*, size_t, const vekwire::FrameView& f) {
            ages_.push_back(nowUs() - f.header.generatedUs);
        });
        return session_.setInteger(VEK_STREAMING, VEK_ON) > 0;
    }
    void poll() { session_.pump(0); }
    ~EveryFrameWatcher() { session_.done(); }

private:
    std::vector<long long>& ages_;
    veksock::Session session_;
};

// One client: connects, (as master) defines a tracker on every LED and sets
// 960 Hz, then fetches markers for `seconds`.
Result runClient(const std::string& address, bool master, bool busy, int seconds) {
    Result res;
    if (vekInit(address.c_str(), master ? 0 : VEK_SLAVE) != 0) {
        std::fprintf(stderr, "cannot connect\n");
        return res;
    }
    if (master) {
        vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = 0; led < 32; ++led) vekMarkeri(led, VEK_MARKER_LED, led);
        vekTracker(0, VEK_ON);
        vekSetFloat(VEK_FREQUENCY, 960);
    }
    vekSetInteger(VEK_STREAMING, VEK_ON);
    static MarkerRecord m[VEK_MAX_MARKERS];
    while (vekGetMarkers(m, VEK_MAX_MARKERS) == 0) {
    }
    int last = m[0].frame;
    EveryFrameWatcher watcher(res.everyFrameAges);
    const bool watching = master && watcher.start(address);
    const double cpu0 = cpuSeconds();
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    const auto start = Clock::now();
    while (Clock::now() < end) {
        int n;
        while ((n = vekGetMarkers(m, VEK_MAX_MARKERS)) > 0) {
            const long long t = nowUs();
            int64_t generated = 0;
            int newest = 0;
            vekGetIntegerv(VEK_FRAME, &newest);
            if (newest == m[0].frame && vekGetFrameTime(&generated) > 0)
                res.latencies.push_back(t - generated);
            res.gaps += m[0].frame - last - 1;
            last = m[0].frame;
            ++res.frames;
        }
        if (n < 0) break;
        if (watching) watcher.poll();
        if (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    res.cpuPercent = (cpuSeconds() - cpu0) / wall * 100;
    int v = 0;
    vekGetIntegerv(VEK_LIB_DROPPED, &v);
    res.libDropped = v;
    vekGetIntegerv(VEK_SERVER_DROPPED, &v);
    res.serverDropped = v;
    vekDone();
    return res;
}

std::string percentiles(std::vector<long long>& us) {
    if (us.empty()) return "none";
    std::sort(us.begin(), us.end());
    auto pct = [&](double p) { return us[static_cast<size_t>(p * static_cast<double>(us.size() - 1))]; };
    char text[128];
    std::snprintf(text, sizeof text, "p50 %lld us p99 %lld us max %lld us (%zu frames)", pct(0.5), pct(0.99),
                  us.back(), us.size());
    return text;
}

std::string report(const char* what, Result& r) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s: %ld frames, %ld lost (gaps %ld, library drops %ld, server drops %ld), "
                  "latency of the newest frame per fetch %s, client CPU %.2f%% of a core",
                  what, r.frames, r.gaps + r.libDropped, r.gaps, r.libDropped, r.serverDropped,
                  percentiles(r.latencies).c_str(), r.cpuPercent);
    std::string text = line;
    if (!r.everyFrameAges.empty())
        text += "; every frame when read off the socket " + percentiles(r.everyFrameAges);
    return text + "; load " + loadAverage() + "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "latency";
    testsupport::ServerProcess server({"--freq", "960"});
    if (mode == "clients") {
        const int n = argc > 2 ? std::atoi(argv[2]) : 8;
        const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
        testsupport::ClientProcesses processes(n, [&](int i, std::string& sent) {
            Result r = runClient(server.address(), i == 0, false, seconds);
            sent = report(("client " + std::to_string(i)).c_str(), r);
            return true;
        });
        for (const auto& outcome : processes.collect()) std::fputs(outcome.sent.c_str(), stdout);
        return 0;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
    Result r = runClient(server.address(), true, mode == "latency", seconds);
    std::fputs(report(mode == "latency" ? "busy-polling client" : "client polling every 1 ms", r).c_str(),
               stdout);
    return 0;
}
