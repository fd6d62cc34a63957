#include "capture.h"

#include <algorithm>
#include <cmath>

namespace numerics {

namespace {

Vec3 position(const MarkerRecord& m) { return {m.x, m.y, m.z}; }

}  // namespace

bool CaptureState::visible(const MarkerRecord& m) {
    return m.cond > 0 && std::isfinite(m.x) && std::isfinite(m.y) && std::isfinite(m.z);
}

CaptureStepResult CaptureState::step(const MarkerRecord* markers, std::size_t count) {
    count = std::min(count, records_.size());
    accumulator_.reset();
    int firstVisible = -1;
    for (std::size_t i = 0; i < count; ++i) {
        if (!visible(markers[i])) continue;
        if (firstVisible < 0) firstVisible = static_cast<int>(i);
        const CaptureRecord& r = records_[i];
        if (r.updates != 0) accumulator_.add(position(markers[i]), {r.x, r.y, r.z});
    }
    if (reference_ < 0) reference_ = firstVisible;
    if (reference_ < 0) return CaptureStepResult::Skipped;

    CaptureStepResult result = CaptureStepResult::Skipped;
    const std::optional<Mat4> t = chooseTransform(markers, result);
    if (!t) return CaptureStepResult::Skipped;
    transform_ = t;
    foldIn(markers, count, *t);
    return result;
}

// The reference marker's first frame puts it at the origin (or keeps the
// server's origin with global coordinates); two or more known markers are
// fitted. With exactly one known marker, or when the fit is impossible
// because the cross-covariance is not finite, the previous frame's transform
// is kept: the body has moved little in one frame, while a pure translation
// from one marker would also drop the rotation. Without a previous transform
// the frame is skipped.
std::optional<Mat4> CaptureState::chooseTransform(const MarkerRecord* markers, CaptureStepResult& result) {
    std::optional<Mat4> t;
    const auto ref = static_cast<std::size_t>(reference_);
    if (ref < records_.size() && records_[ref].updates == 0 && visible(markers[ref])) {
        t = kIdentity4;
        if (!global_) {
            (*t)[12] = -markers[ref].x;
            (*t)[13] = -markers[ref].y;
            (*t)[14] = -markers[ref].z;
        }
        result = CaptureStepResult::Started;
    }
    std::optional<Mat4> fitted;
    if (accumulator_.n > 1) fitted = accumulator_.fit();
    if (fitted) {
        t = fitted;
        result = CaptureStepResult::Fitted;
    } else if (!t && accumulator_.n >= 1 && transform_) {
        t = transform_;
        result = CaptureStepResult::KeptPrevious;
    }
    return t;
}

void CaptureState::foldIn(const MarkerRecord* markers, std::size_t count, const Mat4& t) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!visible(markers[i])) continue;
        const Vec3 p = transformPoint(t, position(markers[i]));
        CaptureRecord& r = records_[i];
        if (++r.updates == 1) {
            r.x = p[0];
            r.y = p[1];
            r.z = p[2];
            continue;
        }
        r.jitter += std::sqrt((r.x - p[0]) * (r.x - p[0]) + (r.y - p[1]) * (r.y - p[1]) +
                              (r.z - p[2]) * (r.z - p[2]));
        r.x = (1 - kAlpha) * r.x + kAlpha * p[0];
        r.y = (1 - kAlpha) * r.y + kAlpha * p[1];
        r.z = (1 - kAlpha) * r.z + kAlpha * p[2];
    }
}

}  // namespace numerics
