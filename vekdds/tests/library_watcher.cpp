#include "library_watcher.h"

#include <chrono>
#include <cstring>

namespace vekdds::testing {

namespace {

template <typename Record>
std::vector<Record> recordsOf(const vekwire::FrameView& f, int key) {
    const int s = vek_stream_index(key);
    std::vector<Record> out(f.count[s]);
    if (!out.empty()) std::memcpy(out.data(), f.records[s], out.size() * sizeof(Record));
    return out;
}

}  // namespace

LibraryWatcher::LibraryWatcher(const std::string& server, bool master) {
    if (session_.init(server.c_str(), master ? 0 : VEK_SLAVE) != 0) return;
    session_.setFrameSink([this](const uint8_t*, size_t, const vekwire::FrameView& f) {
        LibraryFrame& frame = frames[f.header.generatedUs];
        frame.frame = f.header.frame;
        frame.generatedUs = f.header.generatedUs;
        frame.receivedUs = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
        frame.rigids = recordsOf<RigidRecord>(f, VEK_RIGIDS);
        frame.markers = recordsOf<MarkerRecord>(f, VEK_MARKERS);
    });
    ok_ = master || session_.setInteger(VEK_STREAMING, VEK_ON);
}

bool LibraryWatcher::pump(int ms) { return session_.pump(ms); }

void LibraryWatcher::pumpFor(double seconds, const std::function<void()>& between, int waitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        session_.pump(waitMs);
        if (between) between();
    }
}

const LibraryFrame* frameAt(const std::map<int64_t, LibraryFrame>& frames, int64_t stampNs, int64_t offsetNs,
                            int64_t toleranceNs) {
    // The nearest: a server that catches up makes frames microseconds apart.
    const int64_t generatedNs = stampNs - offsetNs;
    const LibraryFrame* nearest = nullptr;
    int64_t best = toleranceNs + 1;
    auto it = frames.lower_bound((generatedNs - toleranceNs) / 1000);
    for (; it != frames.end() && it->first * 1000 <= generatedNs + toleranceNs; ++it) {
        if (std::abs(it->first * 1000 - generatedNs) < best) {
            best = std::abs(it->first * 1000 - generatedNs);
            nearest = &it->second;
        }
    }
    return nearest;
}

}  // namespace vekdds::testing
