// A library client beside vekdds, for tests and benchmarks: a slave that
// keeps every frame it gets, by generation time, with the time it came.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "session.h"

namespace vekdds::testing {

struct LibraryFrame {
    int32_t frame = 0;
    int64_t generatedUs = 0;  // server's steady clock
    int64_t receivedUs = 0;   // our steady clock, when the library handed it over
    std::vector<RigidRecord> rigids;
    std::vector<MarkerRecord> markers;
};

class LibraryWatcher {
public:
    // Joins `server` as a slave and streams; `master` joins as master
    // instead (a test's master defines trackers through session()).
    explicit LibraryWatcher(const std::string& server, bool master = false);
    bool ok() const { return ok_; }
    veksock::Session& session() { return session_; }
    // Takes in what comes for up to `ms`; false when the connection is gone.
    bool pump(int ms);
    // Takes in what comes for `seconds`, calling `between` (when given)
    // after every wait of up to `waitMs`.
    void pumpFor(double seconds, const std::function<void()>& between = nullptr, int waitMs = 50);
    // Every frame so far, by generation time.
    std::map<int64_t, LibraryFrame> frames;

private:
    veksock::Session session_;
    bool ok_ = false;
};

// The frame whose capture stamp (generation time on this machine's
// realtime clock) lies nearest `stampNs`, within `toleranceNs`, or null.
// `offsetNs`: realtime minus steady clock.
const LibraryFrame* frameAt(const std::map<int64_t, LibraryFrame>& frames, int64_t stampNs, int64_t offsetNs,
                            int64_t toleranceNs = 100'000);

}  // namespace vekdds::testing
