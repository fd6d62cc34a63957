// Streaming from a real vekd at 960 Hz with the default scene's markers, in
// three cases: a client busy polling, a client polling every 1 ms, eight
// clients polling every 1 ms at once (one master, seven slaves). Prints one
// table: frames, frames lost, latency, client CPU, the machine's load.
//
// Latency runs from the frame's generation (stamped by the server) to the
// client's fetch, two ways in the same run: for the newest frame of each
// fetch (as the peer is measured), and for every frame the client fetches,
// also those that waited behind a newer one. The library tells the
// generation time of the newest frame only, so each client has a watcher
// beside it, a slave on its own connection, polled in the same loop, that
// notes every frame's generation time; the client's fetch times are matched
// to them by frame number. A client's CPU includes its watcher's.
//
//   build/bench/bench_stream [SECONDS] [CLIENTS]   (default 10 s per case, 8 clients)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unordered_map>
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

// A slave on the wire itself: notes each frame's generation time as it
// takes the frame off its socket.
class Watcher {
public:
    bool start(const std::string& address) {
        if (session_.init(address.c_str(), VEK_SLAVE) != 0) return false;
        session_.setFrameSink([this](const uint8_t*, size_t, const vekwire::FrameView& f) {
            generatedUs_[f.header.frame] = f.header.generatedUs;
        });
        return session_.setInteger(VEK_STREAMING, VEK_ON) > 0;
    }
    void poll() { session_.pump(0); }
    // When frame `frame` was generated; 0 when it never came.
    long long generatedUs(int frame) const {
        const auto it = generatedUs_.find(frame);
        return it == generatedUs_.end() ? 0 : it->second;
    }
    ~Watcher() { session_.done(); }

private:
    std::unordered_map<int, long long> generatedUs_;
    veksock::Session session_;
};

struct Percentiles {
    long long p50 = -1, p99 = -1, max = -1;
};

Percentiles percentiles(std::vector<long long>& us) {
    Percentiles p;
    if (us.empty()) return p;
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[static_cast<size_t>(q * static_cast<double>(us.size() - 1))]; };
    return {at(0.5), at(0.99), us.back()};
}

// What one client measured, as it sends it back: numbers on one line.
struct Result {
    long frames = 0, lost = 0, everyFrameCount = 0;
    Percentiles newest, every;
    double cpuPercent = 0;

    std::string line() const {
        char text[256];
        std::snprintf(text, sizeof text, "%ld %ld %ld %lld %lld %lld %lld %lld %lld %.3f\n", frames, lost,
                      everyFrameCount, newest.p50, newest.p99, newest.max, every.p50, every.p99, every.max,
                      cpuPercent);
        return text;
    }
    bool parse(const std::string& text) {
        return std::sscanf(text.c_str(), "%ld %ld %ld %lld %lld %lld %lld %lld %lld %lf", &frames, &lost,
                           &everyFrameCount, &newest.p50, &newest.p99, &newest.max, &every.p50, &every.p99,
                           &every.max, &cpuPercent) == 10;
    }
};

// One client: connects (as master defines a tracker on every LED and sets
// 960 Hz), then fetches markers for `seconds`, busy or every 1 ms.
bool runClient(const std::string& address, bool master, bool busy, int seconds, Result& res) {
    if (vekInit(address.c_str(), master ? 0 : VEK_SLAVE) != 0) return false;
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
    Watcher watcher;
    if (!watcher.start(address)) return false;
    std::vector<long long> newest;
    std::vector<std::pair<int, long long>> fetched;  // (frame, fetch time) of every frame
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    int n = 0;
    while (Clock::now() < end) {
        while ((n = vekGetMarkers(m, VEK_MAX_MARKERS)) > 0) {
            const long long t = nowUs();
            int64_t generated = 0;
            int newestFrame = 0;
            vekGetIntegerv(VEK_FRAME, &newestFrame);
            if (newestFrame == m[0].frame && vekGetFrameTime(&generated) > 0) newest.push_back(t - generated);
            fetched.emplace_back(m[0].frame, t);
            res.lost += m[0].frame - last - 1;
            last = m[0].frame;
            ++res.frames;
        }
        if (n < 0) break;
        watcher.poll();
        if (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    res.cpuPercent = (cpuSeconds() - cpu0) / wall * 100;
    watcher.poll();
    std::vector<long long> every;
    for (const auto& [frame, at] : fetched)
        if (const long long generated = watcher.generatedUs(frame)) every.push_back(at - generated);
    res.everyFrameCount = static_cast<long>(every.size());
    res.newest = percentiles(newest);
    res.every = percentiles(every);
    int dropped = 0;
    vekGetIntegerv(VEK_LIB_DROPPED, &dropped);
    res.lost += dropped;
    vekDone();
    return n >= 0;
}

std::string range(long long low, long long high, const char* unit = "") {
    return std::to_string(low) + (low == high ? "" : "–" + std::to_string(high)) + unit;
}

// One case against a vekd of its own, every client in a process of its
// own: its row of the table.
void runCase(const char* name, int clients, bool busy, int seconds) {
    const std::string loadBefore = loadAverage();
    testsupport::ServerProcess server({"--freq", "960"});
    testsupport::ClientProcesses processes(clients, [&](int i, std::string& sent) {
        Result r;
        const bool ok = runClient(server.address(), i == 0, busy, seconds, r);
        sent = r.line();
        return ok;
    });
    std::vector<Result> results;
    int failed = 0;
    for (const auto& outcome : processes.collect()) {
        Result r;
        if (!outcome.succeeded || !r.parse(outcome.sent)) {
            ++failed;
            continue;
        }
        results.push_back(r);
    }
    if (results.empty()) {
        std::printf("| %s | every client failed | | | | | | |\n", name);
        return;
    }
    auto lowHigh = [&](auto field) {
        long long low = field(results[0]), high = low;
        for (const Result& r : results) {
            low = std::min<long long>(low, field(r));
            high = std::max<long long>(high, field(r));
        }
        return std::make_pair(low, high);
    };
    auto cell = [&](auto field, const char* unit = "") {
        const auto [low, high] = lowHigh(field);
        return range(low, high, unit);
    };
    long lost = 0;
    for (const Result& r : results) lost += r.lost;
    const auto [cpuLow, cpuHigh] = lowHigh([](const Result& r) { return std::llround(r.cpuPercent * 100); });
    char cpu[64];
    std::snprintf(cpu, sizeof cpu, cpuLow == cpuHigh ? "%.2f %%" : "%.2f–%.2f %%", cpuLow / 100.0,
                  cpuHigh / 100.0);
    std::printf("| %s%s | %s | %ld | %s / %s | %s / %s / %s | %s | %s | %s → %s |\n", name,
                failed ? (" (" + std::to_string(failed) + " failed)").c_str() : "",
                cell([](const Result& r) { return r.frames; }).c_str(), lost,
                cell([](const Result& r) { return r.newest.p50; }, " µs").c_str(),
                cell([](const Result& r) { return r.newest.p99; }, " µs").c_str(),
                cell([](const Result& r) { return r.every.p50; }, " µs").c_str(),
                cell([](const Result& r) { return r.every.p99; }, " µs").c_str(),
                cell([](const Result& r) { return r.every.max; }, " µs").c_str(),
                cell([](const Result& r) { return r.everyFrameCount; }).c_str(), cpu, loadBefore.c_str(),
                loadAverage().c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 8;
    if (seconds < 1 || clients < 1) {
        std::fprintf(stderr, "usage: bench_stream [SECONDS] [CLIENTS]\n");
        return 2;
    }
    std::printf("vekd at 960 Hz, default scene, markers of 32 LEDs, %d s per case\n\n", seconds);
    std::printf(
        "| case | frames | lost (all clients) | newest frame per fetch p50 / p99 | "
        "every frame p50 / p99 / max | frames timed | client CPU | load (1, 5 min) |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---|\n");
    runCase("busy polling", 1, true, seconds);
    runCase("polling every 1 ms", 1, false, seconds);
    runCase((std::to_string(clients) + " clients polling every 1 ms").c_str(), clients, false, seconds);
    return 0;
}
