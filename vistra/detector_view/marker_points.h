// Crossing points of the markers seen by one camera.
#pragma once

#include <veksock.h>

#include <vector>

// flags bits
constexpr int kPointX = 1;
constexpr int kPointY = 2;

struct MarkerPoint {
    int id = 0;
    float x = 0, y = 0;  // unit square: detector 0 gives x = 1 - pos, detector 1 gives y = pos
    int flags = 0;
};

// One point per marker id of the camera; every unassigned peak gets its own.
std::vector<MarkerPoint> BuildMarkerPoints(const std::vector<ImageRecord>& peaks, int camera);
