// Soak run: one master and seven slaves (by default) on a vekd of their
// own at 960 Hz, every stream on, each client polling every millisecond.
// At the end each client reports its frames, the frames it lost on the way
// (dropped by the server's queue, by the library's backlogs, and gaps in
// the frame numbers that no counter accounts for), apart from the frames
// the server did not make in time (a busy machine: numbered, never made),
// and its resident memory a third into the run and at the end (the
// library's backlog slots grow to the largest frame each has held, so the
// first seconds grow; after that memory must stay flat); the server's
// memory is read the same way, and its own count of frames not made.
//   veksoak [seconds=600] [clients=8] [hz=960]
// Exit status 1 when a client lost a frame on the way, a client or the
// server grew by more than kGrowthLimit, or a client could not connect.
// Frames not made are reported, not failed: they tell the machine's load.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "client_processes.h"
#include "server_process.h"
#include "veksock.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWarmUp = std::chrono::seconds(3);  // every client joined
constexpr long kGrowthLimit = 2 << 20;             // bytes of resident memory

long ownResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    return -1;
}

struct ClientReport {
    long frames = 0, gaps = 0;
    int libDropped = 0, serverDropped = 0, notMade = 0;
    long rssStart = 0, rssEnd = 0;
    bool connected = false;
};

// Drains every stream; returns false when the connection is gone.
bool fetchAll(ClientReport& r, int& lastFrame, bool counting) {
    static MarkerRecord markers[VEK_MAX_MARKERS];
    static RigidRecord rigids[VEK_MAX_RIGIDS];
    static ImageRecord images[VEK_MAX_IMAGES];
    static DetectorRecord detectors[VEK_MAX_DETECTORS];
    int n;
    while ((n = vekGetMarkers(markers, VEK_MAX_MARKERS)) > 0) {
        if (counting && lastFrame > 0) r.gaps += markers[0].frame - lastFrame - 1;
        if (counting) ++r.frames;
        lastFrame = markers[0].frame;
    }
    if (n < 0) return false;
    while (vekGetRigids(rigids, VEK_MAX_RIGIDS) > 0) {
    }
    while (vekGetImages(images, VEK_MAX_IMAGES) > 0) {
    }
    while (vekGetDetectors(detectors, VEK_MAX_DETECTORS) > 0) {
    }
    return true;
}

ClientReport runClient(const std::string& address, bool master, float hz, int seconds) {
    ClientReport r;
    if (vekInit(address.c_str(), master ? 0 : VEK_SLAVE) != 0) return r;
    if (master) {
        vekTrackeri(0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = 0; led < 32; ++led) vekMarkeri(led, VEK_MARKER_LED, led);
        vekTracker(0, VEK_ON);
        vekSetFloat(VEK_FREQUENCY, hz);
    }
    for (const int key : {VEK_MARKERS, VEK_RIGIDS, VEK_IMAGES, VEK_DETECTORS}) vekSetInteger(key, VEK_ON);
    vekSetInteger(VEK_STREAMING, VEK_ON);
    r.connected = true;

    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    int lastFrame = 0;
    bool counting = false;
    constexpr int kCounters[] = {VEK_LIB_DROPPED, VEK_SERVER_DROPPED, VEK_SERVER_SKIPPED};
    int before[3] = {0, 0, 0};
    const auto memoryMark = start + std::chrono::seconds(seconds) / 3;
    while (Clock::now() < end) {
        if (!counting && Clock::now() - start >= kWarmUp) {
            counting = true;
            for (int i = 0; i < 3; ++i) vekGetIntegerv(kCounters[i], &before[i]);
        }
        if (r.rssStart == 0 && Clock::now() >= memoryMark) r.rssStart = ownResidentBytes();
        if (!fetchAll(r, lastFrame, counting)) {
            r.connected = false;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    r.rssEnd = ownResidentBytes();
    int* counted[] = {&r.libDropped, &r.serverDropped, &r.notMade};
    for (int i = 0; i < 3; ++i) {
        vekGetIntegerv(kCounters[i], counted[i]);
        *counted[i] -= before[i];
    }
    vekDone();
    return r;
}

double mib(long bytes) { return static_cast<double>(bytes) / (1 << 20); }

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 8;
    const float hz = argc > 3 ? std::strtof(argv[3], nullptr) : 960.0f;
    if (seconds <= static_cast<int>(kWarmUp.count()) || clients < 1 || clients > 16 ||
        !(hz > 0 && hz <= 960)) {
        std::fprintf(stderr, "usage: veksoak [seconds > 3] [clients 1-16] [hz 0-960]\n");
        return 2;
    }
    testsupport::ServerProcess server;
    if (!server.running()) {
        std::fprintf(stderr, "veksoak: vekd did not start\n");
        return 1;
    }
    testsupport::ClientProcesses processes(clients, [&](int i, std::string& sent) {
        const ClientReport r = runClient(server.address(), i == 0, hz, seconds);
        sent.assign(reinterpret_cast<const char*>(&r), sizeof r);
        return true;
    });
    std::this_thread::sleep_for(std::chrono::seconds(seconds) / 3);
    const long serverStart = server.residentBytes();
    std::vector<ClientReport> reports;
    for (const auto& outcome : processes.collect()) {
        ClientReport r;
        if (outcome.sent.size() == sizeof r) std::memcpy(&r, outcome.sent.data(), sizeof r);
        reports.push_back(r);
    }
    const long serverEnd = server.residentBytes();
    const double serverCpu = server.cpuSeconds();
    server.stop();
    const std::string log = server.output();
    const std::string total = " frames skipped in all";
    const size_t at = log.find(total);
    const long serverNotMade =
        at == std::string::npos ? 0 : std::atol(log.c_str() + log.rfind(' ', at - 1) + 1);

    bool sound = serverEnd - serverStart <= kGrowthLimit;
    std::printf("veksoak: %d clients, %g Hz, %d s, every stream on\n", clients, hz, seconds);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const ClientReport& r = reports[i];
        // A gap in the frame numbers that neither a drop nor a frame not made explains.
        const long unaccounted = std::max(0L, r.gaps - r.notMade - r.serverDropped - r.libDropped);
        const long lost = r.serverDropped + r.libDropped + unaccounted;
        const bool ok = r.connected && r.frames > 0 && lost == 0 && r.rssEnd - r.rssStart <= kGrowthLimit;
        sound = sound && ok;
        std::printf(
            "%s %zu: %ld frames, %ld lost on the way (server queue %d, library %d, unaccounted gaps %ld), "
            "%d not made by the server, RSS %.1f -> %.1f MiB%s\n",
            i == 0 ? "master" : "slave ", i, r.frames, lost, r.serverDropped, r.libDropped, unaccounted,
            r.notMade, mib(r.rssStart), mib(r.rssEnd), ok ? "" : "  FAILED");
    }
    std::printf("vekd: RSS %.1f -> %.1f MiB, CPU %.1f s, %ld frames not made in time\n", mib(serverStart),
                mib(serverEnd), serverCpu, serverNotMade);
    std::printf("veksoak: %s\n", sound ? "passed" : "FAILED");
    return sound ? 0 : 1;
}
