// What a stretch of a take holds, gathered frame by frame in constant
// memory: for info, and for the C3D export, whose header needs the counts
// before the first frame is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame_walk.h"

namespace taketool {

// Marker or tracker ids kept by a survey; more are counted as "more".
constexpr size_t kMaxIds = 4 << 10;

struct Survey {
    uint32_t frames = 0;
    int64_t firstNumber = 0, lastNumber = 0;  // WalkedFrame::number
    int64_t firstUs = 0, lastUs = 0;          // WalkedFrame::timeUs
    uint64_t missed = 0;                      // frames the recorder missed in between
    uint32_t streams = 0;                     // stream bits of any frame
    float rate = 0;                           // the first frame's frequency
    int64_t rateChangesAt = 0;                // first frame number at another frequency, 0: none
    float otherRate = 0;                      // that frequency
    std::vector<int> present;                 // marker ids of any record, sorted
    std::vector<int> seen;                    // marker ids seen (cond > 0) at least once, sorted
    std::vector<int> rigids;                  // rigid tracker ids, sorted
    std::vector<int> peakLeds;                // LEDs the peaks name (peaks carrying LED ids)
    bool moreIds = false;                     // some list would have held more than kMaxIds
    float maxCoordinate = 0;                  // largest |x|, |y| or |z| of a marker seen, mm
    uint32_t localTimes = 0;                  // frames with a capture time on the recorder's clock
    int64_t firstLocalUs = 0;                 // the first of them

    void add(const WalkedFrame& f, bool peaksCarryLeds);
};

}  // namespace taketool
