// What the markers of a take are called outside it. A take recorded as
// master (session flag kRecordedAsMaster) holds the recorder's point
// tracker 0, whose marker i is LED i: its markers are LEDs ("LED5").
// Otherwise markers belong to the master's trackers, whose LEDs the take
// does not know: they are named tracker:index ("2:3").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace taketool {

enum class Naming { Leds, Markers };

Naming namingOf(uint32_t sessionFlags);

// C3D point label: "LED5" or "2:3".
std::string pointLabel(int markerId, Naming naming);
// C3D point description: "LED 5" or "tracker 2, marker 3".
std::string pointDescription(int markerId, Naming naming);
// The CSV `led` column: "5" or "2:3".
std::string csvName(int markerId, Naming naming);
// Sorted marker ids as short runs: "LEDs 0-5, 8" or "1:0-5, 2:0-3".
std::string describeMarkers(const std::vector<int>& markerIds, Naming naming);

// --leds LIST: comma-separated LED numbers and ranges ("0-5,8"), or for
// takes recorded as a slave tracker:index items ("1:0-5,2:3").
struct PointSelection {
    struct Range {
        int tracker = -1;  // -1: LED numbers
        int first = 0, last = 0;
    };
    std::vector<Range> ranges;
    std::string text;  // as given
};

bool parseSelection(std::string_view text, PointSelection& out, std::string& error);
// False with the reason when the list's kind of items does not fit the
// take (LED numbers for a take whose markers are not LEDs).
bool selectionFits(const PointSelection& selection, Naming naming, std::string& error);
bool selects(const PointSelection& selection, int markerId, Naming naming);

}  // namespace taketool
