// Client cost of one maximal frame: a writer thread plays the server and
// sends maximal frames (585 markers, 372 rigids, 512 peaks, 409 detector
// records; 64 cameras at connect), one or two ahead of the client, as a
// server at 960 Hz would; the client drains and fetches every stream and
// the camera list per frame. Reported: the client thread's CPU time per
// frame, over the calls that brought a frame (draining included).
//
//   build/bench/bench_client_fetch [frames]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "unique_fd.h"
#include "veksock.h"
#include "wire.h"

namespace {

double threadCpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

std::atomic<int> fetchedFrame{0};
constexpr int kInFlight = 2;

bool writeAll(int fd, const std::string& s) {
    size_t at = 0;
    while (at < s.size()) {
        const ssize_t n = send(fd, s.data() + at, s.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Speaks just enough of the server side: welcome, cameras, then frames.
void playServer(const vekwire::UniqueFd& listener, int frames) {
    const vekwire::UniqueFd accepted(accept(listener.get(), nullptr, nullptr));
    const int fd = accepted.get();
    char hello[256];
    if (recv(fd, hello, sizeof hello, 0) <= 0) return;
    std::string out;
    vekwire::Welcome w;
    w.frequency = 960;
    w.name = "bench";
    vekwire::encodeWelcome(out, w);
    std::vector<VEKCamera> cams(VEK_MAX_CAMERAS);
    for (auto& c : cams) c = VEKCamera{1, {0, 0, 0, 1, 0, 0, 0}, 1, 0};
    vekwire::encodeCameras(out, cams.data(), VEK_MAX_CAMERAS);
    writeAll(fd, out);

    std::vector<MarkerRecord> m(VEK_MAX_MARKERS, MarkerRecord{1, 0, 1, 2, 3, 1, 0});
    std::vector<RigidRecord> r(VEK_MAX_RIGIDS, RigidRecord{1, 0, {0, 0, 0, 1, 0, 0, 0}, 1, 0});
    std::vector<ImageRecord> img(VEK_MAX_IMAGES, ImageRecord{1, 0, 0, 0, 7, 0, 0.5f, 100});
    std::vector<DetectorRecord> det(VEK_MAX_DETECTORS, DetectorRecord{});
    for (int f = 1; f <= frames; ++f) {
        for (auto& x : m) x.frame = f;
        for (auto& x : r) x.frame = f;
        for (auto& x : img) x.frame = f;
        for (auto& x : det) x.frame = f;
        std::string sections;
        vekwire::encodeSection(sections, m.data(), VEK_MAX_MARKERS, sizeof(MarkerRecord));
        vekwire::encodeSection(sections, r.data(), VEK_MAX_RIGIDS, sizeof(RigidRecord));
        vekwire::encodeSection(sections, img.data(), VEK_MAX_IMAGES, sizeof(ImageRecord));
        vekwire::encodeSection(sections, det.data(), VEK_MAX_DETECTORS, sizeof(DetectorRecord));
        vekwire::FrameHeader h;
        h.frame = f;
        h.frequency = 960;
        h.mask = VEK_MARKER_BIT | VEK_RIGID_BIT | VEK_IMAGE_BIT | VEK_DETECTOR_BIT;
        std::string msg;
        vekwire::encodeFrameHeader(msg, h, sections.size());
        msg += sections;
        while (fetchedFrame.load() < f - kInFlight) std::this_thread::yield();
        if (!writeAll(fd, msg)) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;
    const vekwire::UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener.get(), 1);
    socklen_t len = sizeof a;
    getsockname(listener.get(), reinterpret_cast<sockaddr*>(&a), &len);
    std::thread server(playServer, std::cref(listener), frames);

    const std::string address = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    if (vekInit(address.c_str(), 0) != 0) return 1;
    static MarkerRecord m[VEK_MAX_MARKERS];
    static RigidRecord r[VEK_MAX_RIGIDS];
    static ImageRecord img[VEK_MAX_IMAGES];
    static DetectorRecord det[VEK_MAX_DETECTORS];
    static VEKCamera cams[VEK_MAX_CAMERAS];
    int fetched = 0, cameraLists = 0;
    double busy = 0;
    for (int last = 0; last < frames;) {
        const double t0 = threadCpuSeconds();
        const int n = vekGetMarkers(m, VEK_MAX_MARKERS);
        if (n < 0) break;
        if (n == 0) continue;
        last = m[0].frame;
        vekGetRigids(r, VEK_MAX_RIGIDS);
        vekGetImages(img, VEK_MAX_IMAGES);
        vekGetDetectors(det, VEK_MAX_DETECTORS);
        cameraLists += vekGetCameras(cams, VEK_MAX_CAMERAS) == VEK_MAX_CAMERAS;
        busy += threadCpuSeconds() - t0;
        ++fetched;
        fetchedFrame.store(last);
    }
    int dropped = 0;
    vekGetIntegerv(VEK_LIB_DROPPED, &dropped);
    vekDone();
    server.join();
    std::printf("maximal frames fetched: %d (dropped in backlogs: %d, camera lists: %d)\n", fetched, dropped,
                cameraLists);
    std::printf("client CPU per maximal frame (drain + 4 fetches + cameras): %.2f us\n",
                busy / fetched * 1e6);
    return 0;
}
