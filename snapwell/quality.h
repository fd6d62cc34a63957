// How good a captured body is: for every marker, the spread of its
// body-frame position over the frames that went into its average, and the
// residual of the per-frame rigid fits.
#pragma once

#include <capture.h>

#include <ostream>
#include <vector>

namespace snapwell {

// Spread above this (mm) marks a marker that wobbled, was partly occluded
// or belongs to another body.
constexpr double kSpreadWarning = 0.5;

class CaptureQuality {
public:
    explicit CaptureQuality(std::size_t markers) : samples_(markers) {}

    // One capture step: `before` holds the records as they were before it,
    // `capture` the state after it, `frame` the markers the step took.
    void observe(const std::vector<numerics::CaptureRecord>& before, const numerics::CaptureState& capture,
                 numerics::CaptureStepResult result, const MarkerRecord* frame, std::size_t count);

    // RMS distance (mm) of marker i's body-frame positions from their mean;
    // 0 before two samples.
    double spread(std::size_t i) const;
    int samples(std::size_t i) const { return samples_[i].n; }
    // The mean spread of the markers whose update count exceeds `frames`:
    // the capture's own noise level; 0 when there are none.
    double meanSpread(const std::vector<numerics::CaptureRecord>& records, int frames) const;
    // RMS distance (mm) of the fitted markers from where their averages
    // put them, over every fitted frame; 0 when nothing was fitted.
    double fitResidual() const;

    // The report for the markers whose update count exceeds `frames`,
    // named by their LEDs (`leds[i]` for marker i).
    void print(std::ostream& out, const std::vector<numerics::CaptureRecord>& records,
               const std::vector<int>& leds, int frames) const;

private:
    struct Samples {  // Welford's running mean and sum of squared deviations
        int n = 0;
        numerics::Vec3 mean{};
        double squares = 0;
    };
    std::vector<Samples> samples_;
    double residualSquares_ = 0;
    long residualCount_ = 0;
};

}  // namespace snapwell
