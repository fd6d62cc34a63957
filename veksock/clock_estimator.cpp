#include "clock_estimator.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace veksock {

namespace {

constexpr size_t kMaxPoints = 8192;
constexpr int64_t kMinDriftSpanUs = 1'000'000;  // shorter, drift is not fitted
constexpr double kDriftPrior = 1000e-6;         // how far apart two clocks may run, unfitted
constexpr double kFloorUs = 2;                  // below this, delays do not tell samples apart
constexpr int64_t kBinUs = 1'000'000;           // the fastest samples are chosen per bin

}  // namespace

bool ClockEstimator::add(const TimeSample& s) {
    int64_t roundTrip = 0, held = 0;
    if (__builtin_sub_overflow(s.receivedUs, s.sentUs, &roundTrip) ||
        __builtin_sub_overflow(s.serverSentUs, s.serverReceivedUs, &held) || roundTrip < 0 || held < 0 ||
        held > roundTrip)
        return false;
    // In doubles: a server's times may be anything.
    const auto us = [](int64_t t) { return static_cast<double>(t); };
    const Point p{s.sentUs + roundTrip / 2,
                  ((us(s.serverReceivedUs) - us(s.sentUs)) + (us(s.serverSentUs) - us(s.receivedUs))) / 2,
                  static_cast<double>(roundTrip - held)};
    while (!points_.empty() && (p.atUs - points_.front().atUs > kWindowUs || points_.size() >= kMaxPoints))
        points_.pop_front();
    pendingStep_ = std::min<int>(pendingStep_, static_cast<int>(points_.size()));
    if (fitted_ && kept_ >= kMinSamples && offLine(p)) {
        points_.push_back(p);
        if (++pendingStep_ < kStepSamples) return true;
        // The server's clock stepped: start again from the samples after it.
        points_.erase(points_.begin(), points_.end() - pendingStep_);
        pendingStep_ = 0;
        refit();
        return true;
    } else {
        // Points off the line followed by one on it were strays, not a step.
        points_.erase(points_.end() - pendingStep_, points_.end());
        pendingStep_ = 0;
        points_.push_back(p);
    }
    // New samples are judged by the fit as it was; the fit itself waits
    // until someone asks for an estimate.
    if (fitted_ && kept_ >= kMinSamples)
        stale_ = true;
    else
        refit();
    return true;
}

void ClockEstimator::clear() {
    points_.clear();
    pendingStep_ = 0;
    fitted_ = stale_ = false;
    kept_ = 0;
}

bool ClockEstimator::offLine(const Point& p) const {
    const double x = static_cast<double>(p.atUs - ref_);
    return std::fabs(p.offsetUs - (a_ + b_ * x)) > p.delayUs / 2 + bound(x);
}

void ClockEstimator::refit() const {
    fitted_ = false;
    stale_ = false;
    kept_ = 0;
    const size_t n = points_.size() - static_cast<size_t>(pendingStep_);
    if (n == 0) return;
    // Samples come in the order their answers did, and a slow answer's
    // midpoint may lie before a quick one's: the latest is not always last.
    ref_ = points_[0].atUs;
    for (size_t i = 1; i < n; ++i) ref_ = std::max(ref_, points_[i].atUs);
    // The window in bins of kBinUs: in each, the samples that came back
    // fastest (a late reader's stamp or a queue on the way only adds delay).
    bins_.resize(n);
    constexpr double perBin = 1.0 / kBinUs;  // a multiplication, not a division per sample
    uint32_t lastBin = 0;
    for (size_t i = 0; i < n; ++i) {
        bins_[i] = static_cast<uint32_t>(static_cast<double>(ref_ - points_[i].atUs) * perBin);
        lastBin = std::max(lastBin, bins_[i]);
    }
    binMin_.assign(lastBin + 1, HUGE_VAL);
    // The least delays: the least of all, and the fourth least.
    double least[4] = {HUGE_VAL, HUGE_VAL, HUGE_VAL, HUGE_VAL};
    for (size_t i = 0; i < n; ++i) {
        const double d = points_[i].delayUs;
        binMin_[bins_[i]] = std::min(binMin_[bins_[i]], d);
        for (int j = 3; j >= 0 && d < least[j]; --j) {
            if (j < 3) least[j + 1] = least[j];
            least[j] = d;
        }
    }
    const double minDelay = least[0];
    excess_.clear();
    for (const double m : binMin_)
        if (m != HUGE_VAL) excess_.push_back(m - minDelay);
    std::nth_element(excess_.begin(), excess_.begin() + static_cast<long>(excess_.size() / 2), excess_.end());
    // How far the least delay itself may be from the link's: the gap to
    // the few next least. Kept: within that, or the typical bin's excess,
    // of their bin's least.
    const double floor = std::max(kFloorUs, (n > 3 ? least[3] : least[n - 1]) - minDelay);
    const double margin = std::max(floor, excess_[excess_.size() / 2]);
    // Each kept sample weighs by how close its delay comes to the least.
    weights_.assign(n, 0.0);
    double sw = 0, sx = 0, sy = 0;
    int64_t first = ref_, last = points_[0].atUs;
    for (size_t i = 0; i < n; ++i) {
        const Point& p = points_[i];
        if (p.delayUs > binMin_[bins_[i]] + margin) continue;
        const double e = (p.delayUs - minDelay) / 2 + floor;
        weights_[i] = 1 / (e * e);
        sw += weights_[i];
        sx += weights_[i] * static_cast<double>(p.atUs - ref_);
        sy += weights_[i] * p.offsetUs;
        first = std::min(first, p.atUs);
        last = std::max(last, p.atUs);
        ++kept_;
    }
    mx_ = sx / sw;
    const double my = sy / sw;
    double sxy = 0;
    sxx_ = 0;
    for (size_t i = 0; i < n; ++i) {
        if (weights_[i] == 0) continue;
        const double dx = static_cast<double>(points_[i].atUs - ref_) - mx_;
        sxx_ += weights_[i] * dx * dx;
        sxy += weights_[i] * dx * (points_[i].offsetUs - my);
    }
    drift_ = last - first >= kMinDriftSpanUs && kept_ >= kMinSamples && sxx_ > 0;
    b_ = drift_ ? sxy / sxx_ : 0;
    a_ = my - b_ * mx_;
    // The fit at x is the sum over samples of w (1/sw + (x - mx)(xi - mx) / sxx)
    // times their offsets, each within half its delay of the truth: the sum
    // of those halves, weighed by the absolute factors, bounds the error
    // (an asymmetric link's, which no exchange can see, included).
    boundAtMean_ = boundSlope_ = 0;
    for (size_t i = 0; i < n; ++i) {
        if (weights_[i] == 0) continue;
        const double half = weights_[i] * points_[i].delayUs / 2;
        boundAtMean_ += half / sw;
        if (drift_) boundSlope_ += half * std::fabs(static_cast<double>(points_[i].atUs - ref_) - mx_) / sxx_;
    }
    if (!drift_) boundSlope_ = kDriftPrior;  // unfitted: the drift two clocks may have
    fitted_ = true;
}

double ClockEstimator::bound(double x) const {
    return boundAtMean_ + boundSlope_ * std::fabs(x - mx_) + kFloorUs;
}

ClockFit ClockEstimator::estimate(int64_t nowUs) const {
    if (stale_) refit();
    ClockFit f;
    f.atUs = nowUs;
    f.samples = kept_;
    if (!fitted_) return f;
    const double x = static_cast<double>(nowUs - ref_);
    f.offsetUs = a_ + b_ * x;
    f.driftPpm = b_ * 1e6;
    f.uncertaintyUs = bound(x);
    f.newestUs = points_.back().atUs;
    f.trusted = kept_ >= kMinSamples && pendingStep_ == 0 && nowUs - f.newestUs <= kStaleUs &&
                f.uncertaintyUs <= kMaxUncertaintyUs;
    return f;
}

bool ClockEstimator::toLocal(int64_t serverUs, int64_t nowUs, int64_t& localUs, double* uncertaintyUs) const {
    const ClockFit f = estimate(nowUs);
    if (!f.trusted) return false;
    // server = t + a + b (t - ref), solved for t.
    const double d = (static_cast<double>(serverUs) - static_cast<double>(ref_) - a_) / (1 + b_);
    if (!(std::fabs(d) < 1e15)) return false;  // beyond thirty years from now: no figure
    const int64_t local = ref_ + std::llround(d);
    if (uncertaintyUs) *uncertaintyUs = bound(static_cast<double>(local - ref_));
    localUs = local;
    return true;
}

}  // namespace veksock
