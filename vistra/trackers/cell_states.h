// What a marker cell of the "Markers" page shows: seen now, lost (seen
// before, unseen for longer than a time-out) and selected, and the colour
// of each state.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "view_session.h"

enum CellState : int32_t {
    kCellIdle = 0,
    kCellWhite = 1,  // not produced by the update
    kCellSeen = 2,
    kCellSeenSelected = 3,
    kCellSelected = 4,
    kCellLost = 5,
    kCellLostSelected = 6
};

inline constexpr std::array<const char*, 7> kCellColours = {"#777", "#fff", "#0f0", "#aaf",
                                                            "#aaa", "#f00", "#faa"};

// Selected cells get a black frame.
inline bool CellFramed(int state) {
    return state == kCellSeenSelected || state == kCellSelected || state == kCellLostSelected;
}

// The last time (microseconds) each position of the session's marker list
// was seen; 0 = never. Forgotten when the list changes length.
struct LastSeenTimes {
    std::vector<uint32_t> times;
    uint32_t lostTimeout = 5000000;
};

// One state per marker index of `tracker` (largest index + 1 cells) from
// the session's current markers. While connected, the times of the markers
// seen are noted at `now` and markers unseen for longer than the time-out
// count as lost.
std::vector<int> TrackerCellStates(const vektk::Tracker& tracker, const vektk::ViewSession& session,
                                   uint32_t now, LastSeenTimes& lastSeen);
