#include "output.h"

#include <cmath>
#include <iomanip>

namespace snapwell {

namespace {

bool settled(const numerics::CaptureRecord& r, int frames) { return r.updates > frames; }

}  // namespace

int countSettled(const std::vector<numerics::CaptureRecord>& records, int frames) {
    int n = 0;
    for (const auto& r : records) n += settled(r, frames);
    return n;
}

std::string unusableBody(const std::vector<numerics::CaptureRecord>& records, int frames) {
    // Markers closer than this (mm) count as one point.
    constexpr double kCoincident = 1e-3;
    const numerics::CaptureRecord* first = nullptr;
    int count = 0;
    bool spread = false;
    for (const auto& r : records) {
        if (!settled(r, frames)) continue;
        for (const double c : {r.x, r.y, r.z}) {
            if (!std::isfinite(c) || std::fabs(c) > kMaxCoordinate)
                return "a captured position is not a plausible number (" + std::to_string(c) + ")";
        }
        if (count++ == 0)
            first = &r;
        else if (std::hypot(r.x - first->x, r.y - first->y, r.z - first->z) > kCoincident)
            spread = true;
    }
    if (count == 0) return "no marker was captured";
    if (count > 1 && !spread) return "all captured markers are at the same position";
    return {};
}

void printProgress(std::ostream& out, const std::vector<numerics::CaptureRecord>& records, int frames,
                   int max) {
    out << "markers captured: ";
    for (const auto& r : records) {
        if (settled(r, frames))
            out << "ok ";
        else
            out << r.updates << ' ';
    }
    out << " out of " << max << "   \r" << std::flush;
}

void printReport(std::ostream& out, const std::vector<numerics::CaptureRecord>& records) {
    for (const auto& r : records) {
        out << "LED : "
            << "Position = " << std::setw(12) << r.x << std::setw(12) << r.y << std::setw(12) << r.z
            << "   Updated " << std::setw(8) << r.updates
            << "   Approximate jitter estimate: " << std::setprecision(5) << r.jitterEstimate() << '\n';
    }
    out << '\n';
}

void writeBody(std::ostream& out, const std::vector<numerics::CaptureRecord>& records,
               const std::vector<MarkerRecord>& markers, int frames, bool global) {
    double ox = 0, oy = 0, oz = 0;
    if (!global && !records.empty()) {
        ox = records[0].x;
        oy = records[0].y;
        oz = records[0].z;
    }
    for (std::size_t k = 0; k < records.size() && k < markers.size(); ++k) {
        const auto& r = records[k];
        if (!settled(r, frames)) continue;
        out << vek_marker_index(markers[k].id) << ", " << r.x - ox << ' ' << r.y - oy << ' ' << r.z - oz
            << '\n';
    }
}

}  // namespace snapwell
