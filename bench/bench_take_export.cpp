// vektake export of a long take: the take is made here with the take
// writer (what vekrec records as master of a point tracker on every LED:
// markers moving on circles, a few hidden at times, one rigid body, the
// peaks and the detector records of 8 cameras), then `vektake export` runs
// on it to C3D and to CSV. Prints each export's wall time, how many times
// faster than the take's real time it ran, and its peak resident memory.
// Usage: bench_take_export [seconds=600] [hz=960] [leds=32] [peaks=370]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "take_writer.h"

namespace {

constexpr int kCameras = 8;

std::vector<VEKCamera> cameras() {
    std::vector<VEKCamera> list(kCameras);
    for (int c = 0; c < kCameras; ++c) {
        list[c].id = c + 1;
        list[c].pose[3] = 1;  // identity orientation
        list[c].cond = 1;
        list[c].word = 60000;
    }
    return list;
}

// One frame's wire payload.
std::string payload(int32_t number, double hz, int leds, int peaks) {
    const double t = number / hz;
    std::vector<MarkerRecord> markers(leds);
    for (int i = 0; i < leds; ++i) {
        MarkerRecord& m = markers[i];
        m.id = vek_marker_id(0, i);
        m.frame = number;
        const bool hidden = (number / 97 + i) % 23 == 0;  // a short gap now and then
        if (hidden) continue;
        const double a = 2 * M_PI * (0.3 * t + i / double(leds));
        m.x = static_cast<float>(1500 * std::cos(a));
        m.y = static_cast<float>(1500 * std::sin(a));
        m.z = static_cast<float>(1000 + 10 * i);
        m.cond = 1.0f + static_cast<float>((number + i) % 7) * 0.5f;
    }
    RigidRecord rigid{};
    rigid.id = 1;
    rigid.frame = number;
    rigid.pose[0] = static_cast<float>(100 * std::cos(t));
    rigid.pose[3] = 1;
    rigid.cond = 2;
    rigid.word = 6;
    std::vector<ImageRecord> images(peaks);
    for (int k = 0; k < peaks; ++k)
        images[k] = {k % leds,
                     number,
                     k % kCameras,
                     (k / kCameras) % 2,
                     3,
                     0,
                     static_cast<float>((k * 37 % 1000) / 1000.0),
                     500.0f};
    std::vector<DetectorRecord> detectors(2 * kCameras);
    for (int d = 0; d < 2 * kCameras; ++d)
        detectors[d] = {d,   number, d / 2, d % 2, peaks / (2 * kCameras), VEK_DETECTOR_PIXELS,
                        100, 0.05f,  900,   60000};
    std::string sections;
    vekwire::encodeSection(sections, markers.data(), leds, sizeof(MarkerRecord));
    vekwire::encodeSection(sections, &rigid, 1, sizeof rigid);
    vekwire::encodeSection(sections, images.data(), peaks, sizeof(ImageRecord));
    vekwire::encodeSection(sections, detectors.data(), 2 * kCameras, sizeof(DetectorRecord));
    vekwire::FrameHeader h;
    h.frame = number;
    h.generatedUs = static_cast<int64_t>(std::llround(number * 1e6 / hz));
    h.frequency = static_cast<float>(hz);
    h.mask = VEK_MARKER_BIT | VEK_RIGID_BIT | VEK_IMAGE_BIT | VEK_DETECTOR_BIT;
    std::string message;
    vekwire::encodeFrameHeader(message, h, sections.size());
    return message.substr(vekwire::kHeaderSize) + sections;
}

bool makeTake(const std::string& path, int frames, double hz, int leds, int peaks) {
    vektake::Session session;
    session.flags = vektake::kPeaksCarryLeds | vektake::kRecordedAsMaster;
    session.frequency = static_cast<float>(hz);
    session.serverName = "bench";
    session.server = "127.0.0.1";
    vektake::Writer writer(session, cameras());
    std::ofstream file(path, std::ios::binary);
    std::string out, why;
    for (int f = 1; f <= frames && file; ++f) {
        const std::string p = payload(f, hz, leds, peaks);
        const auto* data = reinterpret_cast<const uint8_t*>(p.data());
        vekwire::FrameView view;
        if (!vekwire::decodeFrame(data, p.size(), view, why) ||
            !writer.frame(data, p.size(), view, vektake::kNoLocalTime, out, why)) {
            std::fprintf(stderr, "bench_take_export: frame %d: %s\n", f, why.c_str());
            return false;
        }
        if (out.size() > (8 << 20)) {
            file << out;
            out.clear();
        }
    }
    writer.end(out);
    file << out;
    return static_cast<bool>(file.flush());
}

// Runs vektake; false when it failed. Wall seconds and peak RSS in MB.
bool run(const std::vector<std::string>& args, double& wall, double& rssMb) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VEKTAKE_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rssMb = static_cast<double>(usage.ru_maxrss) / 1024;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600;
    const double hz = argc > 2 ? std::atof(argv[2]) : 960;
    const int leds = argc > 3 ? std::atoi(argv[3]) : 32;
    const int peaks = argc > 4 ? std::atoi(argv[4]) : 370;
    const int frames = static_cast<int>(std::lround(seconds * hz));
    if (frames < 1 || leds < 1 || leds > VEK_MAX_MARKERS || peaks < 0 || peaks > VEK_MAX_IMAGES) {
        std::fprintf(stderr, "usage: bench_take_export [seconds] [hz] [leds 1-585] [peaks 0-512]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("bench_take_export_" + std::to_string(getpid()));
    fs::create_directory(dir);
    const std::string take = (dir / "take.vektake").string();
    int status = 0;
    if (!makeTake(take, frames, hz, leds, peaks)) status = 1;
    std::printf("take: %d frames at %g Hz (%g s), %d LEDs, %d peaks per frame, %.0f MB\n", frames, hz,
                seconds, leds, peaks, status ? 0.0 : static_cast<double>(fs::file_size(take)) / 1e6);
    for (const char* ending : {"c3d", "csv"}) {
        if (status) break;
        const std::string out = (dir / (std::string("take.") + ending)).string();
        double wall = 0, rss = 0;
        if (!run({"vektake", "export", take, "-o", out}, wall, rss)) {
            std::fprintf(stderr, "bench_take_export: vektake export -o %s failed\n", out.c_str());
            status = 1;
            break;
        }
        std::printf("export to %s: %.2f s, %.1f x real time, peak RSS %.1f MB, file %.0f MB\n", ending, wall,
                    seconds / wall, rss, static_cast<double>(fs::file_size(out)) / 1e6);
    }
    if (!std::getenv("BENCH_KEEP")) fs::remove_all(dir);
    return status;
}
