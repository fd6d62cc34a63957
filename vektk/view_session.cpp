#include "view_session.h"

#include "marker_filter_driver.h"

namespace vektk {
ViewSession::ViewSession(float scale) : VEK(scale) {}

int ViewSession::ConnectView(const ConnectionSettings& settings, int startStreaming, int setFrequency) {
    return Connect(settings, startStreaming != 0, setFrequency != 0);
}

int ViewSession::Update() {
    const int r = Poll();
    if (r == 0) return 0;
    const float oldFrequency = systemFrequency;
    vekGetFloatv(VEK_FREQUENCY, &systemFrequency);
    if (systemFrequency != 0) {
        const int seen = CountSeen();
        if (seen != 0) markersSeenAverage.add(static_cast<float>(seen), static_cast<int>(systemFrequency));
        if (!markers.empty()) AddConditionSample();
    }
    FilterFrameMarkers(markers, markerFilters, filteredMarkers, systemFrequency, filterFrequency, filtering);
    if (systemFrequency != oldFrequency) ResetDerived();
    return r;
}

void ViewSession::AddConditionSample() {
    int count = 0;
    float sum = 0;
    for (const MarkerRecord& m : markers) {
        if (m.cond > 0 && m.cond < conditionThreshold && !(m.flags & VEK_MARKER_FILLED)) {
            ++count;
            sum += m.cond;
        }
    }
    const float mean = count > 0 ? sum / static_cast<float>(count) : 0.0f;
    if (mean != 0) conditionAverage.add(mean, static_cast<int>(systemFrequency * 2));
}

void ViewSession::ClearFrame() {
    markers.clear();
    rigids.clear();
    selectedMarkers.Clear();
    selectedRigids.Clear();
    selectedCameras.Clear();
}

void ViewSession::SelectAllMarkers() {
    for (const MarkerRecord& m : markers) selectedMarkers.Select(m.id);
}

void ViewSession::RecolourAll(const Colour& colour) {
    for (auto& entry : markerColours) entry.second = colour;
    for (auto& entry : rigidColours) entry.second = colour;
}

int ViewSession::CountSeen() const {
    int seen = 0;
    for (const MarkerRecord& m : markers) {
        if (m.cond > 0 && m.cond < conditionThreshold) ++seen;
    }
    return seen;
}

int ViewSession::ApplyTrackerOptions() {
    const float value = fill ? 1.0f : 0.0f;
    for (Tracker& t : trackers) {
        // Kept also while connected: a tracker sent again keeps its fill.
        t.SetOption(VEK_FILL, value, true);
        if (connected) vekTrackerf(t.id, VEK_FILL, value);
    }
    return static_cast<int>(trackers.size());
}

void ViewSession::ResetDerived() {
    conditionAverage.reset();
    markersSeenAverage.reset();
    markerFilters.clear();
    filteredMarkers.clear();
}

}  // namespace vektk
