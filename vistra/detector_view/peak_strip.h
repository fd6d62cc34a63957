// Where the peak lines of one detector fall on the window: every line
// spans the whole window, so one detector's lines are a function of the
// window column (detector 0) or row (detector 1) alone.
#pragma once

#include <veksock.h>

#include <cstdint>
#include <vector>

// Texel colours, RGBA bytes in memory order.
constexpr uint32_t kStripNone = 0;
constexpr uint32_t kStripRed = 0xff0000ffu;
constexpr uint32_t kStripGreen = 0xff00ff00u;

// Position of a peak's line across the unit square: 1 - pos for detector 0
// (vertical lines), pos for detector 1 (horizontal lines).
inline float PeakLinePosition(const ImageRecord& peak) {
    return peak.detector == 0 ? 1 - peak.pos : peak.pos;
}
// Pixels across a peak's line: its share of the detector times the window
// extent along the detector, rounded as GL rounds line widths, at least one.
float PeakLineWidth(const ImageRecord& peak, float extent, float zoom);

// Colour of each of `pixels` window columns (detector 0) or rows counted
// from the bottom (detector 1): red under unassigned peaks, green under
// assigned ones (green wins), kStripNone elsewhere. The line of position u
// is centred at extent * zoom * (u + pan) pixels.
std::vector<uint32_t> BuildPeakStrip(const std::vector<ImageRecord>& peaks, int camera, int detector,
                                     int pixels, float extent, float zoom, float pan);

// Both detectors' lines as one picture of columns.size() x rows.size()
// pixels, bottom row first: a row's colour where the row is lit (the
// horizontal lines lie over the vertical ones), else its column's, else
// `background`.
void BuildPeakImage(const std::vector<uint32_t>& columns, const std::vector<uint32_t>& rows,
                    uint32_t background, std::vector<uint32_t>& image);
