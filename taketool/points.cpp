#include "points.h"

#include <charconv>

#include "take_format.h"
#include "vek_types.h"

namespace taketool {

namespace {

constexpr int kMaxTracker = 65535;

bool isLed(int markerId, Naming naming) {
    return naming == Naming::Leds && vek_marker_tracker(markerId) == 0;
}

std::string trackerIndex(int markerId) {
    return std::to_string(vek_marker_tracker(markerId)) + ":" + std::to_string(vek_marker_index(markerId));
}

// A whole decimal number from 0 to `max`; false otherwise.
bool readNumber(std::string_view text, int max, int& out) {
    if (text.empty() || text.size() > 6) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= 0 && out <= max;
}

// "N", "N-M", "T:N" or "T:N-M".
bool readItem(std::string_view item, PointSelection::Range& r) {
    if (const size_t colon = item.find(':'); colon != std::string_view::npos) {
        if (!readNumber(item.substr(0, colon), kMaxTracker, r.tracker)) return false;
        item.remove_prefix(colon + 1);
    }
    const size_t dash = item.find('-');
    const int maxIndex = VEK_MARKERS_PER_TRACKER - 1;
    if (!readNumber(item.substr(0, dash), maxIndex, r.first)) return false;
    r.last = r.first;
    if (dash != std::string_view::npos && !readNumber(item.substr(dash + 1), maxIndex, r.last)) return false;
    return r.first <= r.last;
}

}  // namespace

Naming namingOf(uint32_t sessionFlags) {
    return (sessionFlags & vektake::kRecordedAsMaster) ? Naming::Leds : Naming::Markers;
}

std::string pointLabel(int markerId, Naming naming) {
    return isLed(markerId, naming) ? "LED" + std::to_string(vek_marker_index(markerId))
                                   : trackerIndex(markerId);
}

std::string pointDescription(int markerId, Naming naming) {
    if (isLed(markerId, naming)) return "LED " + std::to_string(vek_marker_index(markerId));
    return "tracker " + std::to_string(vek_marker_tracker(markerId)) + ", marker " +
           std::to_string(vek_marker_index(markerId));
}

std::string csvName(int markerId, Naming naming) {
    return isLed(markerId, naming) ? std::to_string(vek_marker_index(markerId)) : trackerIndex(markerId);
}

std::string describeMarkers(const std::vector<int>& ids, Naming naming) {
    std::string out;
    for (size_t i = 0; i < ids.size();) {
        size_t j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1 &&
               vek_marker_tracker(ids[j + 1]) == vek_marker_tracker(ids[i]))
            ++j;
        if (!out.empty()) out += ", ";
        out += csvName(ids[i], naming);
        if (j > i) out += "-" + std::to_string(vek_marker_index(ids[j]));
        i = j + 1;
    }
    if (naming == Naming::Leds && !ids.empty()) out = (ids.size() == 1 ? "LED " : "LEDs ") + out;
    return out;
}

bool parseSelection(std::string_view text, PointSelection& out, std::string& error) {
    out = PointSelection{};
    out.text = std::string(text);
    for (size_t at = 0; at <= text.size();) {
        size_t comma = text.find(',', at);
        if (comma == std::string_view::npos) comma = text.size();
        PointSelection::Range r;
        if (!readItem(text.substr(at, comma - at), r)) {
            error = "--leds needs LED numbers and ranges (0-5,8) or tracker:index items (1:0-5,2:3): " +
                    std::string(text);
            return false;
        }
        out.ranges.push_back(r);
        at = comma + 1;
    }
    return true;
}

bool selectionFits(const PointSelection& selection, Naming naming, std::string& error) {
    if (naming == Naming::Leds) return true;
    for (const PointSelection::Range& r : selection.ranges) {
        if (r.tracker < 0) {
            error =
                "--leds " + selection.text +
                ": this take was recorded as a slave; its markers are named tracker:index (see vektake info)";
            return false;
        }
    }
    return true;
}

bool selects(const PointSelection& selection, int markerId, Naming naming) {
    const int tracker = vek_marker_tracker(markerId), index = vek_marker_index(markerId);
    for (const PointSelection::Range& r : selection.ranges) {
        const int wanted = r.tracker < 0 && naming == Naming::Leds ? 0 : r.tracker;
        if (tracker == wanted && index >= r.first && index <= r.last) return true;
    }
    return false;
}

}  // namespace taketool
