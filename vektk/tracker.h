// A tracker on the capture server: a point tracker (each LED reported as a
// marker) or a rigid tracker (LEDs with body-frame positions, reported as
// one pose), and its ".pt" / ".rb" file form.
#pragma once

#include <veksock.h>

#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vektk {

constexpr int kPointTracker = VEK_POINT_TRACKER;
constexpr int kRigidTracker = VEK_RIGID_TRACKER;
constexpr int kRigidTrackerAlt = 3073;  // further rigid kind, written as rigid

struct MarkerDef {
    int index = 0;           // marker number inside the tracker
    int led = 0;             // LED id
    std::vector<float> pos;  // empty, or x, y, z in the body frame
};

// A marker's index within its tracker has 12 bits.
constexpr int kMaxMarkersPerTracker = VEK_MARKERS_PER_TRACKER;

// Server-side marker id of marker `index` of tracker `trackerId`.
inline int MarkerId(int trackerId, int index) { return vek_marker_id(trackerId, index); }

// How the views name a marker: "t:n" (tracker id, index) when `trackerCount`
// is 2 or more, else "n".
std::string MarkerLabel(int markerId, int trackerCount);

class Tracker {
public:
    // Markers 0 .. count-1 on LEDs 0 .. count-1.
    Tracker(int type, int id, int count);
    // Marker i on LED leds[i].
    Tracker(int type, int id, const std::vector<int>& leds);
    // Indexes and LEDs of `source`, positions multiplied by `scale`.
    Tracker(int type, int id, const std::vector<MarkerDef>& source, float scale);
    // The tracker of a tracker file; none when the file fails to load or
    // holds no marker, with the reason written to `err`.
    static std::optional<Tracker> FromFile(int type, int id, const std::string& path,
                                           std::ostream& err = std::cerr);

    // Defines the tracker on the server; 1, or -1 when creation failed
    // (only detected with reportErrors on).
    int Create();
    // Disables and destroys it on the server; nothing when id < 0.
    void Destroy();
    // Switches it on (when enabled and `on`) or off on the server.
    int Update(bool on);
    void SetOption(int parameter, float value, bool replace);
    // The LED of the removed marker, or -1 when no marker has that index.
    int RemoveMarker(int index);
    // Appends the markers of a tracker file; their number, 0 on failure,
    // when nothing is appended. Only a regular file is read. A negative LED,
    // a marker beyond kMaxMarkersPerTracker or a line of no known form
    // fails the whole file with a message "path:N: ..." naming its line
    // (counted from 1, comments and blank lines included), written to `err`.
    int Load(int type, const std::string& path, std::ostream& err);
    int Load(int type, const std::string& path);
    // Marker lines in the file form, positions divided by `scale`.
    void WriteMarkers(std::ostream& out, float scale) const;

    bool IsRigid() const { return type == kRigidTracker || type == kRigidTrackerAlt; }

    int type;
    int id;
    bool enabled = true;
    bool reportErrors = false;
    std::string text;
    std::vector<std::pair<int, float>> options;  // (parameter, value)
    std::vector<MarkerDef> markers;

private:
    bool RequestFailed() const;
};

// The LED of a marker id: -1 when its tracker has no such index, nothing
// when no tracker has its id.
std::optional<int> LedOfMarker(const std::vector<Tracker>& trackers, int markerId);

}  // namespace vektk
