// Per-LED, per-camera, per-detector statistics of the detector peaks.
#pragma once

#include <veksock.h>

#include <ostream>
#include <unordered_map>
#include <vector>

#include "session/peak_stats.h"

struct PeakCell {
    int lastFrame = 0;  // frame of the last sample; 0 = not active
    int peakFlags = 0;
    PeakStats posStats, ampStats, widthStats, powerStats;

    void add(const ImageRecord& peak);
    void addMissing();
    void updateDeviation();
};

struct PeakFrameInput {
    const std::vector<ImageRecord>& peaks;
    const std::vector<MarkerRecord>& markers;  // the session's marker list: one row per entry
    int cameraCount;
    bool connected;
    int selectedCamera;
    bool fastMode;
};

class PeakTables {
public:
    static constexpr int kDetectors = 2;  // every camera has two linear detectors

    explicit PeakTables(std::ostream& log) : log_(log) {}

    // One frame's update: sizing, first peak per cell, ageing, deviations.
    void collect(const PeakFrameInput& in);
    void clear();

    // Row p holds the statistics of the marker at position p of the marker
    // list (the row the data table shows). Null when the cell does not exist.
    const PeakCell* cell(int row, int camera, int detector) const;
    // The row of a marker id, -1 when no row holds it.
    int rowOf(int markerId) const;
    int tableCameras() const { return tableCameras_; }
    int rows() const { return static_cast<int>(rowIds_.size()); }
    // The cameras of row `row` (0 for a row that does not exist).
    int cameras(int row) const { return row >= 0 && row < rows() ? tableCameras_ : 0; }
    // The marker id whose statistics row `row` holds, -1 when none.
    int idOf(int row) const;

private:
    bool rowsFollow(const std::vector<MarkerRecord>& markers) const;
    // One row per entry of the marker list and `cameraCount` cameras per row;
    // a marker keeps its statistics when its position in the list changes.
    void resize(const std::vector<MarkerRecord>& markers, int cameraCount);
    PeakCell* find(int row, int camera, int detector);

    std::ostream& log_;
    std::vector<PeakCell> cells_;  // [row][camera][detector], tableCameras_ cameras a row
    std::vector<int> rowIds_;  // marker id of each row
    std::unordered_map<int, int> rowOfId_;
    int tableCameras_ = 0;
    bool sized_ = false;
};
