// C3D, as c3d.org documents it: a 512-byte header block, a parameter
// section of whole blocks (groups POINT, ANALOG, TRIAL, MANUFACTURER),
// then one record per frame of 16 bytes per point. Intel byte order,
// floating-point data (negative POINT:SCALE), no analog channels.
//
// A point's fourth word, as a signed integer, holds the camera mask in
// its high byte (0 here: the take does not say which cameras saw a
// marker) and the residual in units of |POINT:SCALE| in its low byte;
// −1 marks a point not seen in the frame (its coordinates are 0), and 0 a
// point placed by its rigid body's pose rather than measured.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vek_types.h"

namespace taketool::c3d {

// A float counts frames exactly up to here.
constexpr int64_t kMaxFrames = int64_t{1} << 24;
// Labels and descriptions of this many points fit the parameter section.
constexpr size_t kMaxPoints = 2048;

struct Layout {
    std::vector<std::string> labels, descriptions;  // one per point, ASCII
    float rate = 0;                                 // POINT:RATE, Hz
    float scale = -1;                               // POINT:SCALE (negative)
    bool yUp = true;                                // the world's up axis, for POINT:X_SCREEN and Y_SCREEN
    // Numbers of the first and last frame; every number in between is a
    // frame of the file.
    int64_t firstNumber = 1, lastNumber = 1;
};

struct Point {
    float x = 0, y = 0, z = 0;
    float word = -1;  // camera mask and residual; −1: not seen
};
static_assert(sizeof(Point) == 16);

// POINT:SCALE for coordinates up to `maxCoordinate` mm: as the format
// asks, the largest coordinate over 32000 (so that an integer copy of the
// file holds every coordinate), but at least 0.01 mm; negative.
float scaleFor(float maxCoordinate);
// A marker record as a point of a file with this scale.
Point pointOf(const MarkerRecord& m, float scale);
// Residual in mm of a marker seen (cond = 1 + 100 × RMS residual in mm).
float residualOf(float cond);

// The header block and the parameter section. False with the reason when
// the layout does not fit the format.
bool head(const Layout& layout, std::string& out, std::string& why);

// One frame: the points in label order, as the data section holds them.
inline void appendFrame(std::string& out, const std::vector<Point>& points) {
    out.append(reinterpret_cast<const char*>(points.data()), points.size() * sizeof(Point));
}

}  // namespace taketool::c3d
