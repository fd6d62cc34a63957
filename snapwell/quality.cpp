#include "quality.h"

#include <algorithm>
#include <cmath>
#include <iomanip>

namespace snapwell {

using numerics::CaptureState;
using numerics::CaptureStepResult;
using numerics::Vec3;

namespace {

double distanceSquared(const Vec3& a, const Vec3& b) {
    double d = 0;
    for (int k = 0; k < 3; ++k) d += (a[k] - b[k]) * (a[k] - b[k]);
    return d;
}

}  // namespace

void CaptureQuality::observe(const std::vector<numerics::CaptureRecord>& before, const CaptureState& capture,
                             CaptureStepResult result, const MarkerRecord* frame, std::size_t count) {
    if (result == CaptureStepResult::Skipped || !capture.transform()) return;
    const numerics::Mat4& t = *capture.transform();
    count = std::min({count, before.size(), samples_.size()});
    for (std::size_t i = 0; i < count; ++i) {
        if (!CaptureState::visible(frame[i])) continue;
        const Vec3 p = numerics::transformPoint(t, {frame[i].x, frame[i].y, frame[i].z});
        if (result == CaptureStepResult::Fitted && before[i].updates > 0) {
            residualSquares_ += distanceSquared(p, {before[i].x, before[i].y, before[i].z});
            ++residualCount_;
        }
        Samples& s = samples_[i];
        ++s.n;
        Vec3 delta;
        for (int k = 0; k < 3; ++k) {
            delta[k] = p[k] - s.mean[k];
            s.mean[k] += delta[k] / s.n;
        }
        for (int k = 0; k < 3; ++k) s.squares += delta[k] * (p[k] - s.mean[k]);
    }
}

double CaptureQuality::spread(std::size_t i) const {
    const Samples& s = samples_[i];
    return s.n > 1 ? std::sqrt(std::max(0.0, s.squares) / s.n) : 0.0;
}

double CaptureQuality::fitResidual() const {
    return residualCount_ > 0 ? std::sqrt(residualSquares_ / static_cast<double>(residualCount_)) : 0.0;
}

double CaptureQuality::meanSpread(const std::vector<numerics::CaptureRecord>& records, int frames) const {
    double sum = 0;
    int markers = 0;
    for (std::size_t i = 0; i < records.size() && i < samples_.size(); ++i) {
        if (records[i].updates <= frames) continue;
        sum += spread(i);
        ++markers;
    }
    return markers > 0 ? sum / markers : 0.0;
}

void CaptureQuality::print(std::ostream& out, const std::vector<numerics::CaptureRecord>& records,
                           const std::vector<int>& leds, int frames) const {
    const auto flags = out.flags();
    const auto precision = out.precision();
    out << std::fixed << std::setprecision(3) << "capture quality (body-frame spread, RMS):\n";
    std::vector<std::size_t> wobbling;
    for (std::size_t i = 0; i < records.size() && i < samples_.size() && i < leds.size(); ++i) {
        if (records[i].updates <= frames) continue;
        out << "  LED " << leds[i] << ": " << samples_[i].n << " frames, spread " << spread(i) << " mm\n";
        if (spread(i) > kSpreadWarning) wobbling.push_back(i);
    }
    out << "  body: mean spread " << meanSpread(records, frames) << " mm, fit RMS residual " << fitResidual()
        << " mm\n";
    for (const std::size_t i : wobbling) {
        out << "warning: LED " << leds[i] << " spread " << spread(i) << " mm exceeds " << kSpreadWarning
            << " mm: it wobbled, was partly occluded or belongs to another body\n";
    }
    out.flags(flags);
    out.precision(precision);
}

}  // namespace snapwell
