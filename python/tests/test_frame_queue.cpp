// The live session's frame queue: no loss goes unreported, whether the
// server, a full queue or a skip to the newest frame lost it.
#include <gtest/gtest.h>

#include <vector>

#include "frame_queue.h"

using vekpy::FrameQueue;
using vekpy::QueuedFrame;

namespace {

void push(FrameQueue& q, uint8_t tag, int64_t lost = 0) { q.push(&tag, 1, nullptr, lost); }

// (tag, lost) of every frame popped.
std::vector<std::pair<int, int64_t>> drain(FrameQueue& q) {
    std::vector<std::pair<int, int64_t>> out;
    QueuedFrame f;
    while (q.pop(f)) out.emplace_back(f.payload.at(0), f.lost);
    return out;
}

}  // namespace

TEST(FrameQueue, EveryLostFrameIsCountedOnTheNextFrameHandedOut) {
    FrameQueue q(3);
    push(q, 1);
    push(q, 2, 4);  // the server lost 4 before it
    push(q, 3);
    push(q, 4);  // full: frame 1 goes
    push(q, 5);  // frame 2 goes, with the 4 lost before it
    EXPECT_EQ(q.dropped(), 2u);
    EXPECT_EQ(drain(q), (std::vector<std::pair<int, int64_t>>{{3, 6}, {4, 0}, {5, 0}}));

    // Skipping to the newest counts what was skipped.
    push(q, 6, 1);
    push(q, 7);
    push(q, 8, 2);
    q.keepNewest();
    EXPECT_EQ(drain(q), (std::vector<std::pair<int, int64_t>>{{8, 5}}));
    EXPECT_EQ(q.dropped(), 2u);

    // A queue of one frame passes the losses on through the drop.
    FrameQueue one(1);
    push(one, 1, 2);
    push(one, 2);
    EXPECT_EQ(drain(one), (std::vector<std::pair<int, int64_t>>{{2, 3}}));
}
