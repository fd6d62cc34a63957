// The peak statistics vistra keeps for every frame, alone (no window):
//   bench_vistra_peaks record FILE [frames=1920]   frames of a real vekd's default scene
//                                                  (64-marker point tracker, image stream on) to FILE
//   bench_vistra_peaks replay FILE [passes=4]      feeds FILE's frames through the statistics
// replay prints a digest of every statistic after the last frame (equal
// digests: equal statistics) and the frames fed; run it under
//   valgrind --tool=callgrind --toggle-collect='PeakTables::collect*'
// to count the instructions of one frame's update.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "server_process.h"
#include "session/detector_session.h"

namespace {

struct Frame {
    std::vector<MarkerRecord> markers;
    std::vector<ImageRecord> peaks;
};

template <typename Record>
void Write(std::ofstream& out, const std::vector<Record>& records) {
    const uint32_t n = static_cast<uint32_t>(records.size());
    out.write(reinterpret_cast<const char*>(&n), sizeof n);
    out.write(reinterpret_cast<const char*>(records.data()), static_cast<std::streamsize>(n * sizeof(Record)));
}

template <typename Record>
bool Read(std::ifstream& in, std::vector<Record>& records) {
    uint32_t n = 0;
    if (!in.read(reinterpret_cast<char*>(&n), sizeof n) || n > 1u << 20) return false;
    records.resize(n);
    return static_cast<bool>(
        in.read(reinterpret_cast<char*>(records.data()), static_cast<std::streamsize>(n * sizeof(Record))));
}

int Record(const char* path, int frames) {
    testsupport::ServerProcess server({"--freq", "240"});
    std::ostringstream log;
    DetectorSession session(log);
    session.trackers.emplace_back(vektk::kPointTracker, 1, 64);
    if (!server.running() || session.ConnectDetectors(vektk::ConnectionSettings(server.address(), 240.0f), true,
                                                      true) < 0) {
        std::cerr << "error: cannot connect to vekd\n";
        return 1;
    }
    std::ofstream out(path, std::ios::binary);
    for (int written = 0; written < frames;) {
        const int r = session.Update();
        if (r < 0) {
            std::cerr << "error: the session ended\n";
            return 1;
        }
        if (r == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        Write(out, session.markers);
        Write(out, session.images);
        ++written;
    }
    session.Done();
    return out ? 0 : 1;
}

// FNV-1a over the bytes of every statistic of every cell.
struct Digest {
    uint64_t hash = 1469598103934665603ull;
    void add(const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    }
    void add(const PeakStats& s) {
        for (const double v : {s.last, s.mean, s.stddev, s.sum, s.sumSq}) add(&v, sizeof v);
        add(&s.count, sizeof s.count);
    }
};

int Replay(const char* path, int passes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<Frame> frames;
    for (Frame f; Read(in, f.markers) && Read(in, f.peaks);) frames.push_back(f);
    if (frames.empty()) {
        std::cerr << "error: no frames in " << path << "\n";
        return 1;
    }
    std::ostringstream log;
    DetectorSession session(log);
    session.connected = true;
    session.cameras.resize(8);
    int frameNumber = 1;
    for (int pass = 0; pass < passes; ++pass)
        for (const Frame& f : frames) {
            session.markers = f.markers;
            session.images = f.peaks;
            for (ImageRecord& p : session.images) p.frame = frameNumber;
            ++frameNumber;
            session.CollectPeaks(0);
        }
    Digest digest;
    int active = 0;
    const PeakTables& t = session.tables;
    for (int row = 0; row < t.rows(); ++row)
        for (int camera = 0; camera < t.cameras(row); ++camera)
            for (int detector = 0; detector < PeakTables::kDetectors; ++detector) {
                const PeakCell& c = *t.cell(row, camera, detector);
                active += c.lastFrame != 0;
                digest.add(&c.lastFrame, sizeof c.lastFrame);
                for (const PeakStats* s : {&c.posStats, &c.ampStats, &c.widthStats, &c.powerStats}) digest.add(*s);
            }
    std::size_t peaks = 0;
    for (const Frame& f : frames) peaks += f.peaks.size();
    std::printf("frames fed: %d (%zu recorded, %.1f peaks and %zu markers per frame), cells %d, active %d\n",
                frameNumber - 1, frames.size(), static_cast<double>(peaks) / static_cast<double>(frames.size()),
                frames.front().markers.size(), t.rows() * t.tableCameras() * PeakTables::kDetectors, active);
    std::printf("digest of the statistics: %016llx\n", static_cast<unsigned long long>(digest.hash));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "record") return Record(argv[2], argc > 3 ? std::atoi(argv[3]) : 1920);
    if (mode == "replay") return Replay(argv[2], argc > 3 ? std::atoi(argv[3]) : 4);
    std::cerr << "usage: bench_vistra_peaks record FILE [frames] | replay FILE [passes]\n";
    return mode == "-h" || mode == "--help" ? 0 : 1;
}
