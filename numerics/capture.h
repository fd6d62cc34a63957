// Captures the body-frame shape of a moving rigid body: every frame is
// registered onto the running averages by a rigid fit, then each visible
// marker is carried through that transform and folded into its average.
#pragma once

#include "geometry.h"
#include "rigid_fit.h"

#include <vek_types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace numerics {

struct CaptureRecord {
    double x = 0, y = 0, z = 0;  // average, in the reference frame
    double jitter = 0;           // sum of distances between estimate and average
    int32_t updates = 0;

    // 0 until the first update.
    double jitterEstimate() const { return updates > 0 ? jitter / updates : 0.0; }
};

enum class CaptureStepResult {
    Skipped,      // no transform for this frame; nothing changed
    Started,      // first frame: the reference marker became the origin
    Fitted,       // transform fitted to the known markers
    KeptPrevious  // no usable fit; the previous frame's transform was used
};

class CaptureState {
public:
    static constexpr double kAlpha = 0.1;

    // With global coordinates the first frame keeps the server's origin.
    explicit CaptureState(bool global = false) : global_(global) {}

    // Appends `count` empty records (one per marker of a new tracker).
    void addMarkers(std::size_t count) { records_.resize(records_.size() + count); }

    // One frame: record i belongs to markers[i]. A marker takes part when
    // cond > 0 and its position is finite; records beyond the frame's count
    // and markers beyond the records are left alone.
    CaptureStepResult step(const MarkerRecord* markers, std::size_t count);

    // Whether a marker takes part in a step: seen, with a finite position.
    static bool visible(const MarkerRecord& m);

    const std::vector<CaptureRecord>& records() const { return records_; }
    int referenceIndex() const { return reference_; }
    bool global() const { return global_; }
    // The transform of the last frame that was not skipped.
    const std::optional<Mat4>& transform() const { return transform_; }

private:
    std::optional<Mat4> chooseTransform(const MarkerRecord* markers, CaptureStepResult& result);
    void foldIn(const MarkerRecord* markers, std::size_t count, const Mat4& t);

    std::vector<CaptureRecord> records_;
    int reference_ = -1;
    bool global_;
    CaptureAccumulator accumulator_;
    std::optional<Mat4> transform_;
};

}  // namespace numerics
