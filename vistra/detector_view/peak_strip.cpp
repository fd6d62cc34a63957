#include "detector_view/peak_strip.h"

#include <algorithm>
#include <cmath>

float PeakLineWidth(const ImageRecord& peak, float extent, float zoom) {
    constexpr float kDetectorPixels = VEK_DETECTOR_PIXELS;
    return std::max(1.0f, std::round(static_cast<float>(peak.width) / kDetectorPixels * extent * zoom));
}

std::vector<uint32_t> BuildPeakStrip(const std::vector<ImageRecord>& peaks, int camera, int detector,
                                     int pixels, float extent, float zoom, float pan) {
    std::vector<uint32_t> strip(static_cast<std::size_t>(std::max(pixels, 0)), kStripNone);
    for (const bool assigned : {false, true})
        for (const ImageRecord& peak : peaks) {
            if (peak.camera != camera || peak.detector != detector || (peak.id >= 0) != assigned) continue;
            const float centre = extent * zoom * (PeakLinePosition(peak) + pan);
            const float half = PeakLineWidth(peak, extent, zoom) / 2;
            // Pixels whose centres lie inside the line.
            const float first =
                std::clamp(std::ceil(centre - half - 0.5f), 0.0f, static_cast<float>(strip.size()));
            const float last =
                std::clamp(std::ceil(centre + half - 0.5f), first, static_cast<float>(strip.size()));
            std::fill(strip.begin() + static_cast<std::ptrdiff_t>(first),
                      strip.begin() + static_cast<std::ptrdiff_t>(last), assigned ? kStripGreen : kStripRed);
        }
    return strip;
}

void BuildPeakImage(const std::vector<uint32_t>& columns, const std::vector<uint32_t>& rows,
                    uint32_t background, std::vector<uint32_t>& image) {
    const std::size_t width = columns.size();
    image.resize(width * rows.size());
    // Every row is a copy of one of three: the columns' (no line along the
    // row), all red, all green.
    std::vector<uint32_t> kinds(3 * width);
    std::replace_copy(columns.begin(), columns.end(), kinds.begin(), kStripNone, background);
    std::fill_n(kinds.begin() + static_cast<std::ptrdiff_t>(width), width, kStripRed);
    std::fill_n(kinds.begin() + static_cast<std::ptrdiff_t>(2 * width), width, kStripGreen);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        const std::size_t kind = rows[y] == kStripNone ? 0 : rows[y] == kStripRed ? 1 : 2;
        std::copy_n(kinds.begin() + static_cast<std::ptrdiff_t>(kind * width), width,
                    image.begin() + static_cast<std::ptrdiff_t>(y * width));
    }
}
