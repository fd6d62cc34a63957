#include "tracker.h"

#include <veksock.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <sstream>

#include "hex_text.h"
#include "line_reader.h"
#include "printable_text.h"
#include "regular_file.h"
#include "tracker_line.h"

namespace vektk {
namespace {

constexpr std::size_t kLineBufferSize = 256;

std::string FormatFixed2(float value) {
    const int length = std::snprintf(nullptr, 0, "%.2f", static_cast<double>(value));
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.2f", static_cast<double>(value));
    return text;
}

}  // namespace

std::string MarkerLabel(int markerId, int trackerCount) {
    const std::string index = std::to_string(vek_marker_index(markerId));
    return trackerCount >= 2 ? std::to_string(vek_marker_tracker(markerId)) + ":" + index : index;
}

std::optional<int> LedOfMarker(const std::vector<Tracker>& trackers, int markerId) {
    const int trackerId = vek_marker_tracker(markerId), index = vek_marker_index(markerId);
    const auto t =
        std::find_if(trackers.begin(), trackers.end(), [&](const Tracker& c) { return c.id == trackerId; });
    if (t == trackers.end()) return std::nullopt;
    const auto m = std::find_if(t->markers.begin(), t->markers.end(),
                                [&](const MarkerDef& d) { return d.index == index; });
    return m == t->markers.end() ? -1 : m->led;
}

Tracker::Tracker(int type, int id, int count) : type(type), id(id) {
    for (int i = 0; i < count; ++i) markers.push_back({i, i, {}});
}

Tracker::Tracker(int type, int id, const std::vector<int>& leds) : type(type), id(id) {
    for (std::size_t i = 0; i < leds.size(); ++i) {
        markers.push_back({static_cast<int>(i), leds[i], {}});
    }
}

Tracker::Tracker(int type, int id, const std::vector<MarkerDef>& source, float scale) : type(type), id(id) {
    if (source.empty()) {
        std::cerr << "error: Tracker(): empty rigid\n";
        return;
    }
    for (const MarkerDef& m : source) {
        MarkerDef copy{m.index, m.led, {}};
        for (float v : m.pos) copy.pos.push_back(v * scale);
        markers.push_back(std::move(copy));
    }
}

std::optional<Tracker> Tracker::FromFile(int type, int id, const std::string& path, std::ostream& err) {
    std::optional<Tracker> tracker(std::in_place, type, id, 0);
    std::ostringstream why;
    if (tracker->Load(type, path, why) > 0) return tracker;
    err << (why.str().empty() ? "error: " + path + ": no markers\n" : why.str()) << std::flush;
    return std::nullopt;
}

bool Tracker::RequestFailed() const { return reportErrors && vekGetStatus() == 0; }

int Tracker::Create() {
    if (RequestFailed()) {
        std::cout << "warning: Tracker::Create(): e=" << HexText(vekGetError()) << '\n';
    }
    vekTrackeri(id, VEK_CREATE, type);
    if (RequestFailed()) {
        std::cerr << "error: Tracker::Create(): failed to create tracker: (tracker id=" << id
                  << " e=" << HexText(vekGetError()) << ")\n";
        return -1;
    }
    for (const MarkerDef& m : markers) {
        const int markerId = MarkerId(id, m.index);
        vekMarkeriv(markerId, VEK_MARKER_LED, &m.led);
        if (m.pos.size() > 2) vekMarkerfv(markerId, VEK_MARKER_POSITION, m.pos.data());
        if (RequestFailed()) {
            std::cerr << "error: Tracker::Create(): failed to create marker: (marker id=" << m.led
                      << " e=" << HexText(vekGetError()) << ")\n";
        }
    }
    if (RequestFailed()) {
        std::cerr << "error: Tracker::Create(): failed to create markers: (markers=" << markers.size()
                  << ")\n";
        for (int i = 0; i < 1000; ++i) vekGetError();
    }
    for (const auto& [parameter, value] : options) vekTrackerf(id, parameter, value);
    Update(true);
    if (RequestFailed()) {
        std::cerr << "error: Tracker::Update(): failed to update tracker: (tracker id=" << id
                  << " e=" << HexText(vekGetError()) << ")\n";
    }
    return 1;
}

void Tracker::Destroy() {
    if (id < 0) return;
    vekTracker(id, VEK_OFF);
    vekTracker(id, VEK_DESTROY);
}

int Tracker::Update(bool on) { return vekTracker(id, enabled && on ? VEK_ON : VEK_OFF); }

void Tracker::SetOption(int parameter, float value, bool replace) {
    if (replace) {
        auto it = std::find_if(options.begin(), options.end(),
                               [parameter](const auto& o) { return o.first == parameter; });
        if (it != options.end()) {
            it->second = value;
            return;
        }
    }
    options.emplace_back(parameter, value);
}

int Tracker::RemoveMarker(int index) {
    if (index < 0) return -1;
    auto it = std::find_if(markers.begin(), markers.end(),
                           [index](const MarkerDef& m) { return m.index == index; });
    if (it == markers.end()) return -1;
    const int led = it->led;
    markers.erase(it);
    return led;
}

int Tracker::Load(int type, const std::string& path) { return Load(type, path, std::cerr); }

int Tracker::Load(int type, const std::string& path, std::ostream& err) {
    std::string why;
    const vekwire::FileHandle file = vekwire::openRegularFileStream(path, why);
    if (!file) {
        err << "error: open(" << path << "): " << why << '\n';
        return 0;
    }
    // Markers go in only when the whole file has been read.
    std::vector<MarkerDef> read;
    LineReader reader(file.get(), kLineBufferSize - 1);
    std::string text;
    float scale = 1.0f;
    for (int number = 1;; ++number) {
        const LineReader::Result result = reader.Next(text);
        if (result == LineReader::Result::End) break;
        if (result == LineReader::Result::ReadError) {
            err << "error: read(" << path << "): " << std::strerror(errno) << '\n';
            return 0;
        }
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const int count = static_cast<int>(read.size());
        TrackerLine line;
        if (result == LineReader::Result::Line) line = ParseTrackerLine(text.data(), text.size());
        switch (line.kind) {
            case TrackerLine::Kind::Comment:
            case TrackerLine::Kind::Ignored:
                continue;
            case TrackerLine::Kind::Scale:
                scale = line.scale;
                continue;
            case TrackerLine::Kind::Led:
            case TrackerLine::Kind::LedPosition:
                if (line.led < 0) {
                    err << where << "invalid LED: " << vekwire::printable(text) << '\n';
                    return 0;
                }
                if (count == kMaxMarkersPerTracker) {
                    err << where << "too many markers (a tracker holds at most " << kMaxMarkersPerTracker
                        << "): " << vekwire::printable(text) << '\n';
                    return 0;
                }
                if (line.kind == TrackerLine::Kind::Led || type == kPointTracker) {
                    read.push_back({count, line.led, {}});
                    continue;
                }
                {
                    std::vector<float> pos = {line.pos[0] * scale, line.pos[1] * scale, line.pos[2] * scale};
                    // A scale that takes a position past float's range is no position.
                    if (!std::all_of(pos.begin(), pos.end(), [](float v) { return std::isfinite(v); })) break;
                    read.push_back({count, line.led, std::move(pos)});
                }
                continue;
            case TrackerLine::Kind::Invalid:
                break;
        }
        err << where << "invalid string: " << vekwire::printable(text) << '\n';
        return 0;
    }
    markers.insert(markers.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    return static_cast<int>(read.size());
}

void Tracker::WriteMarkers(std::ostream& out, float scale) const {
    for (const MarkerDef& m : markers) {
        if (IsRigid()) {
            if (m.pos.size() < 3) continue;
            out << m.led << ", " << FormatFixed2(m.pos[0] / scale) << ' ' << FormatFixed2(m.pos[1] / scale)
                << ' ' << FormatFixed2(m.pos[2] / scale) << " \n";
        } else if (type == kPointTracker) {
            out << m.led << '\n';
        }
    }
}

}  // namespace vektk
