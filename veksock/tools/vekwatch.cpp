// vekwatch: connects to vekd, defines a point tracker on LEDs 0..n-1 and
// prints, once a second, what streams in: frames lost on the way (dropped
// by the library's backlogs, by the server's queue) apart from frames the
// server did not make in time. It takes every frame that has come before it
// sleeps, so it keeps up with any rate vekd runs at. With a server on this
// machine it also prints how old the newest frame was when it was taken
// (p50 / p99 over the second).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "veksock.h"

namespace {

void usage(const char* program) {
    std::printf("usage: %s [-s server] [-f hz] [-n leds] [-t seconds] [-slave] [-key file]\n", program);
}

// The connection is gone: says why. Exit status 1.
int lost() {
    const int code = vekGetError();
    if (code == VEK_SERVER_STOPPED) {
        std::printf("server stopped\n");
    } else if (code == VEK_ERR_PROTOCOL) {
        char text[VEK_STRING_SIZE] = {};
        vekGetString(code, text);
        std::fprintf(stderr, "vekwatch: protocol error (code 0x%x): %s\n", code, text);
    } else {
        std::fprintf(stderr, "vekwatch: connection lost (code %d)\n", code);
    }
    return 1;
}

long long steadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The value below which `share` of the ages lie; reorders `ages`.
double percentileMs(std::vector<long long>& ages, double share) {
    const auto k = static_cast<std::size_t>(share * static_cast<double>(ages.size() - 1) + 0.5);
    std::nth_element(ages.begin(), ages.begin() + static_cast<std::ptrdiff_t>(k), ages.end());
    return static_cast<double>(ages[k]) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* server = getenv("VEK_SERVER");
    float hz = 0;
    int leds = 6, seconds = 3, flags = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h") {
            usage(argv[0]);
            return 0;
        } else if (a == "-slave") {
            flags |= VEK_SLAVE;
        } else if (i + 1 < argc && a == "-s") {
            server = argv[++i];
        } else if (i + 1 < argc && a == "-f") {
            hz = static_cast<float>(std::atof(argv[++i]));
        } else if (i + 1 < argc && a == "-n") {
            leds = std::atoi(argv[++i]);
        } else if (i + 1 < argc && a == "-t") {
            seconds = std::atoi(argv[++i]);
        } else if (i + 1 < argc && a == "-key") {
            if (vekLoadKey(argv[++i]) <= 0) {
                char text[VEK_STRING_SIZE] = {};
                vekGetString(VEK_ERR_KEY_FILE, text);
                std::fprintf(stderr, "vekwatch: %s\n", text);
                return 1;
            }
        } else {
            usage(argv[0]);
            return 2;
        }
    }
    if (vekInit(server, flags) < 0) {
        const int e = vekGetError();
        char text[VEK_STRING_SIZE];
        std::fprintf(stderr, "vekwatch: cannot connect to %s: %d %s\n", server ? server : "localhost", e,
                     vekGetString(e, text) > 0 ? text : "");
        return 1;
    }
    if (!(flags & VEK_SLAVE)) {
        vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int i = 0; i < leds; ++i) vekMarkeri(i, VEK_MARKER_LED, i);
        vekTracker(0, VEK_ON);
        if (hz > 0) vekSetFloat(VEK_FREQUENCY, hz);
    }
    vekSetInteger(VEK_STREAMING, VEK_ON);
    if (!vekGetStatus()) {
        std::fprintf(stderr, "vekwatch: the server refused the set-up (code %d)\n", vekGetError());
        vekDone();
        return 1;
    }
    // Ages only from capture times the library can put on this machine's
    // clock: none (and no figure) while its estimate is not trustworthy.
    std::vector<long long> ages;
    MarkerRecord fetched[VEK_MAX_MARKERS], markers[VEK_MAX_MARKERS];
    VEKCamera cameras[VEK_MAX_CAMERAS];
    const auto start = std::chrono::steady_clock::now();
    int frames = 0, lastFrame = 0, n = 0, ageFrame = 0;
    for (int second = 1; second <= seconds;) {
        int got;
        while ((got = vekGetMarkers(fetched, VEK_MAX_MARKERS)) > 0) {  // keep the newest frame for the report
            ++frames;
            n = got;
            std::copy(fetched, fetched + got, markers);
            lastFrame = markers[0].frame;
        }
        if (got < 0) return lost();
        int64_t captured = 0;
        if (n > 0 && markers[0].frame != ageFrame &&
            vekGetCaptureTime(markers[0].frame, CLOCK_MONOTONIC, &captured) == 1) {
            ages.push_back(steadyMicroseconds() - captured);
            ageFrame = markers[0].frame;
        }
        if (std::chrono::steady_clock::now() - start >= std::chrono::seconds(second)) {
            int seen = 0;
            for (int i = 0; i < n; ++i) seen += markers[i].cond > 0;
            float f = 0;
            vekGetFloatv(VEK_FREQUENCY, &f);
            int droppedHere = 0, droppedByServer = 0, notMade = 0;
            vekGetIntegerv(VEK_LIB_DROPPED, &droppedHere);
            vekGetIntegerv(VEK_SERVER_DROPPED, &droppedByServer);
            vekGetIntegerv(VEK_SERVER_SKIPPED, &notMade);
            std::printf(
                "frame %d  %d frames/s at %g Hz  %d cameras  dropped %d here, %d by the server; "
                "%d not made",
                lastFrame, frames, f, vekGetCameras(cameras, VEK_MAX_CAMERAS), droppedHere, droppedByServer,
                notMade);
            if (n > 0)
                std::printf("  marker 0: %.2f %.2f %.2f cond %.1f, %d of %d seen", markers[0].x, markers[0].y,
                            markers[0].z, markers[0].cond, seen, n);
            if (!ages.empty()) {
                const double p50 = percentileMs(ages, 0.5), p99 = percentileMs(ages, 0.99);
                std::printf("  age p50 %.2f ms p99 %.2f ms", p50, p99);
            }
            std::printf("\n");
            std::fflush(stdout);
            frames = 0;
            ages.clear();
            ++second;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    vekDone();
    return 0;
}
