#include "survey.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace taketool {

namespace {

void keep(std::vector<int>& ids, int id, bool& more) {
    const auto at = std::lower_bound(ids.begin(), ids.end(), id);
    if (at != ids.end() && *at == id) return;
    if (ids.size() >= kMaxIds) {
        more = true;
        return;
    }
    ids.insert(at, id);
}

}  // namespace

void Survey::add(const WalkedFrame& f, bool peaksCarryLeds) {
    const vekwire::FrameHeader& h = f.frame.header;
    if (f.localTimeUs != vektake::kNoLocalTime && localTimes++ == 0) firstLocalUs = f.localTimeUs;
    if (frames++ == 0) {
        firstNumber = f.number;
        firstUs = f.timeUs;
        rate = h.frequency;
    } else {
        missed += static_cast<uint64_t>(f.number - lastNumber - 1);
    }
    lastNumber = f.number;
    lastUs = f.timeUs;
    streams |= h.mask;
    if (h.frequency != rate && rateChangesAt == 0) {
        rateChangesAt = f.number;
        otherRate = h.frequency;
    }
    for (uint32_t i = 0; i < f.frame.count[VEK_MARKER_STREAM]; ++i) {
        MarkerRecord m;
        std::memcpy(&m, f.frame.records[VEK_MARKER_STREAM] + size_t{i} * sizeof m, sizeof m);
        keep(present, m.id, moreIds);
        if (!(m.cond > 0)) continue;
        keep(seen, m.id, moreIds);
        maxCoordinate = std::max({maxCoordinate, std::fabs(m.x), std::fabs(m.y), std::fabs(m.z)});
    }
    for (uint32_t i = 0; i < f.frame.count[VEK_RIGID_STREAM]; ++i) {
        RigidRecord r;
        std::memcpy(&r, f.frame.records[VEK_RIGID_STREAM] + size_t{i} * sizeof r, sizeof r);
        keep(rigids, r.id, moreIds);
    }
    if (peaksCarryLeds && !moreIds && !vektake::collectPeakLeds(f.frame, peakLeds)) moreIds = true;
}

}  // namespace taketool
