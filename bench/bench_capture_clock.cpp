// Capture times on this host's clock against vekd posing as another
// machine (its frame clock 3600 s ahead, gaining 100 ppm): the error of
// every frame's capture time against the truth the options give, after
// the first 5 s of the connection, for a loopback link and for a link of
// 2 ms ± 0.5 ms each way; then what the exchange costs in bandwidth next
// to a maximal stream (the max scene, every stream, at 960 Hz).
//
//   build/bench/bench_capture_clock SECONDS [HZ]   (each link case that long;
//                                                 frames at HZ, default 960)
//
// The client polls every millisecond, as bench_stream's poll1ms. On the
// slow link the frames share the way down with the time answers, which
// wait behind them as on a real link.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "load_average.h"
#include "server_process.h"
#include "session.h"
#include "veksock.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr double kOffsetS = 3600, kDriftPpm = 100;
constexpr double kSettleS = 5;

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return NAN;
    const size_t k = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<long>(k), v.end());
    return v[k];
}

void errorsAgainstTruth(const char* name, const std::vector<std::string>& link, double seconds,
                        const char* hz) {
    std::vector<std::string> args = {"--clock-offset", "3600", "--clock-drift", "100", "--freq", hz};
    args.insert(args.end(), link.begin(), link.end());
    testsupport::ServerProcess server(args);
    if (vekInit(server.address().c_str(), 0) != 0 || vekSetInteger(VEK_STREAMING, VEK_ON) != 1) {
        std::fprintf(stderr, "error: cannot stream from vekd\n");
        std::exit(1);
    }
    const auto start = Clock::now();
    std::vector<double> errors;
    long untrusted = 0;
    double bound = 0;
    int last = 0;
    while (Clock::now() - start < std::chrono::duration<double>(kSettleS + seconds)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int frame = 0;
        vekGetIntegerv(VEK_FRAME, &frame);
        if (frame == last || Clock::now() - start < std::chrono::duration<double>(kSettleS)) {
            last = frame;
            continue;
        }
        last = frame;
        int64_t generated = 0, local = 0;
        vekGetFrameTime(&generated);
        VEKClockEstimate e{};
        if (vekServerTimeToLocal(generated, CLOCK_MONOTONIC, &local) != 1 || vekGetClockEstimate(&e) != 1) {
            ++untrusted;
            continue;
        }
        const double truth = (static_cast<double>(generated) - kOffsetS * 1e6) / (1 + kDriftPpm * 1e-6);
        errors.push_back(std::fabs(static_cast<double>(local) - truth));
        bound = std::max(bound, e.uncertaintyUs);
    }
    VEKClockEstimate e{};
    vekGetClockEstimate(&e);
    vekDone();
    const size_t n = errors.size();
    const double p50 = percentile(errors, 0.5), p99 = percentile(errors, 0.99);
    std::printf(
        "%-9s %4s Hz %7zu frames  error p50 %5.1f us  p99 %5.1f us  max %6.1f us  untrusted %ld  bound <= "
        "%.0f us"
        "  drift %.2f ppm  load %s\n",
        name, hz, n, p50, p99, n ? *std::max_element(errors.begin(), errors.end()) : NAN, untrusted, bound,
        e.driftPpm, loadAverage().c_str());
}

// Bytes a second of the max scene at 960 Hz with every stream on.
double maximalStreamBytesPerSecond() {
    testsupport::ServerProcess server({"--scene", VEKD_MAX_SCENE, "--freq", "960"});
    veksock::Session s;
    if (s.init(server.address().c_str(), 0) != 0) return NAN;
    double bytes = 0;
    s.setFrameSink([&](const uint8_t*, size_t size, const vekwire::FrameView&) {
        bytes += static_cast<double>(size) + 8;
    });
    for (const int key : {VEK_MARKERS, VEK_RIGIDS, VEK_IMAGES, VEK_DETECTORS}) s.setInteger(key, VEK_ON);
    s.setInteger(VEK_STREAMING, VEK_ON);
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(3)) s.pump(10);
    return bytes / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "usage: bench_capture_clock SECONDS\n");
        return 2;
    }
    const char* hz = argc > 2 ? argv[2] : "960";
    errorsAgainstTruth("loopback", {}, seconds, hz);
    errorsAgainstTruth("2+-0.5ms", {"--link-delay", "2:0.5"}, seconds, hz);
    // A request (8 + 32 bytes) and its answer (8 + 24) every 25 ms.
    const double exchange = (40.0 + 32.0) * 40;
    const double stream = maximalStreamBytesPerSecond();
    std::printf("exchange %.0f B/s, maximal stream %.0f B/s: %.3f %%  load %s\n", exchange, stream,
                100 * exchange / stream, loadAverage().c_str());
    return 0;
}
