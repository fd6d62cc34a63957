// The session the viewer's windows share: a VEK plus selections, colours,
// running averages and optional marker trajectory filtering.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "marker_filter.h"
#include "running_average.h"
#include "selection_set.h"
#include "vek.h"

namespace vektk {

struct Colour {
    float r = 0, g = 0, b = 0, a = 0;
};

class ViewSession : public VEK {
public:
    explicit ViewSession(float scale);

    int ConnectView(const ConnectionSettings& settings, int startStreaming, int setFrequency);
    // Polls one frame and updates averages and filters; Poll's result.
    int Update();
    // Empties the marker and rigid lists and all selections.
    void ClearFrame();
    void SelectAllMarkers();
    // New colour for every entry already in the colour tables.
    void RecolourAll(const Colour& colour);
    // Markers with 0 < cond < conditionThreshold.
    int CountSeen() const;
    // Sends the fill option to every tracker when connected and keeps it
    // for its next Create; the number of trackers.
    virtual int ApplyTrackerOptions();
    // Restarts averages and filters (the server's frequency changed).
    void ResetDerived();

    float conditionThreshold = 100.0f;
    float systemFrequency = 0;  // read back from the server after every frame
    float filterFrequency = 16.0f;
    bool filtering = false;
    bool fill = true;              // tracker option 1020
    SelectionSet selectedMarkers;  // marker ids
    SelectionSet selectedRigids;   // rigid list indexes
    SelectionSet selectedCameras;  // camera list indexes
    std::map<int, Colour> markerColours;
    std::map<int, Colour> rigidColours;
    RunningAverage conditionAverage;
    RunningAverage markersSeenAverage;
    std::vector<MarkerRecord> filteredMarkers;
    std::vector<numerics::MarkerFilter> markerFilters;
    std::vector<std::string> markerNames;

private:
    void AddConditionSample();
};

}  // namespace vektk
