#include "output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <tuple>

namespace snapwell {

namespace {

bool settled(const numerics::CaptureRecord& r, int frames) { return r.updates > frames; }

double distance(const numerics::Vec3& p, const numerics::Vec3& q) {
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

// Distance of p from the line through a and b (a != b).
double distanceFromLine(const numerics::Vec3& p, const numerics::Vec3& a, const numerics::Vec3& b) {
    const numerics::Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    const double cross =
        std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
    return cross / distance(a, b);
}

}  // namespace

int countSettled(const std::vector<numerics::CaptureRecord>& records, int frames) {
    int n = 0;
    for (const auto& r : records) n += settled(r, frames);
    return n;
}

std::string unusableBody(const std::vector<numerics::CaptureRecord>& records, int frames, double noise) {
    // Below this (mm) no noise is measured: a steadier capture than any.
    constexpr double kLeastNoise = 1e-3;
    std::vector<numerics::Vec3> points;
    for (const auto& r : records) {
        if (!settled(r, frames)) continue;
        for (const double c : {r.x, r.y, r.z}) {
            if (!std::isfinite(c) || std::fabs(c) > kMaxCoordinate)
                return "a captured position is not a plausible number (" + std::to_string(c) + ")";
        }
        points.push_back({r.x, r.y, r.z});
    }
    if (points.empty()) return "no marker was captured";
    const double tolerance = kFrameNoise * std::max(noise, kLeastNoise);
    char measured[96];
    std::snprintf(measured, sizeof measured, " to within %.3f mm (%g times the capture's noise)", tolerance,
                  kFrameNoise);
    // The two markers farthest apart, then the marker farthest from their line.
    std::size_t a = 0, b = 0;
    for (std::size_t i = 0; i < points.size(); ++i)
        for (std::size_t j = i + 1; j < points.size(); ++j)
            if (distance(points[i], points[j]) > distance(points[a], points[b]))
                std::tie(a, b) = std::tie(i, j);
    const double length = distance(points[a], points[b]);
    if (points.size() > 1 && length <= tolerance)
        return "all captured markers are at one point" + std::string(measured);
    if (points.size() < 3)
        return std::to_string(points.size()) + " captured marker" + (points.size() == 1 ? "" : "s") +
               " cannot define a body frame: it takes three that span a plane";
    double offLine = 0;
    for (const auto& p : points) offLine = std::max(offLine, distanceFromLine(p, points[a], points[b]));
    if (offLine <= tolerance) return "all captured markers are on one line" + std::string(measured);
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
