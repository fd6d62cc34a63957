// Per-LED, per-camera, per-detector statistics of the detector peaks.
#pragma once

#include <veksock.h>

#include <ostream>
#include <vector>

#include "peak_stats.h"

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
    int markerCount;
    int cameraCount;
    bool connected;
    int selectedCamera;
    bool fastMode;
};

class PeakTables {
public:
    explicit PeakTables(std::ostream& log) : log_(log) {}

    // One frame's update: sizing, first peak per cell, ageing, deviations.
    void collect(const PeakFrameInput& in);
    void clear();

    // Null when the cell does not exist.
    const PeakCell* cell(int id, int camera, int detector) const;
    int tableCameras() const { return tableCameras_; }
    int markers() const { return static_cast<int>(cells_.size()); }

private:
    void resize(int markerCount, int cameraCount);
    PeakCell* find(int id, int camera, int detector);

    std::ostream& log_;
    std::vector<std::vector<std::array<PeakCell, 2>>> cells_;  // [id][camera][detector]
    int tableCameras_ = 0;
    bool sized_ = false;
};
