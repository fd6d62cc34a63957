#include "clock_estimator.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace veksock {

namespace {

constexpr size_t kMaxPoints = 8192;
constexpr int64_t kMinDriftSpanUs = 2'000'000;  // shorter, drift is not fitted
constexpr double kDriftPrior = 200e-6;          // how far apart two clocks may run, unfitted
constexpr double kFloorUs = 2;                  // below this, delays do not tell samples apart

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
    } else {
        // Points off the line followed by one on it were strays, not a step.
        points_.erase(points_.end() - pendingStep_, points_.end());
        pendingStep_ = 0;
        points_.push_back(p);
    }
    refit();
    return true;
}

void ClockEstimator::clear() {
    points_.clear();
    pendingStep_ = 0;
    fitted_ = false;
    kept_ = 0;
}

bool ClockEstimator::offLine(const Point& p) const {
    const double x = static_cast<double>(p.atUs - ref_);
    const double spread = bound_ - minDelay_ / 2 + std::fabs(x) * 3 * slopeError_;
    return std::fabs(p.offsetUs - (a_ + b_ * x)) > p.delayUs / 2 + spread + kFloorUs;
}

void ClockEstimator::refit() {
    fitted_ = false;
    kept_ = 0;
    const size_t n = points_.size() - static_cast<size_t>(pendingStep_);
    if (n == 0) return;
    std::vector<double> delays;
    delays.reserve(n);
    for (size_t i = 0; i < n; ++i) delays.push_back(points_[i].delayUs);
    std::sort(delays.begin(), delays.end());
    const double minDelay = delays.front();
    // Each sample's offset lies within half its excess delay of the best
    // one's: weigh by that, and leave out the slow half beyond the fastest.
    const double tenth = delays[n / 10] - minDelay;
    const double floor = std::max(kFloorUs, tenth / 4);
    const double cut = minDelay + std::max(4 * floor, delays[n / 2] - minDelay);
    ref_ = points_[n - 1].atUs;
    double sw = 0, sw2 = 0, sx = 0, sy = 0;
    int64_t first = ref_, last = points_[0].atUs;
    std::vector<double> w(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const Point& p = points_[i];
        if (p.delayUs > cut) continue;
        const double e = (p.delayUs - minDelay) / 2 + floor;
        w[i] = 1 / (e * e);
        sw += w[i];
        sw2 += w[i] * w[i];
        sx += w[i] * static_cast<double>(p.atUs - ref_);
        sy += w[i] * p.offsetUs;
        first = std::min(first, p.atUs);
        last = std::max(last, p.atUs);
        ++kept_;
    }
    const double mx = sx / sw, my = sy / sw;
    double sxx = 0, sxy = 0;
    for (size_t i = 0; i < n; ++i) {
        if (w[i] == 0) continue;
        const double dx = static_cast<double>(points_[i].atUs - ref_) - mx;
        sxx += w[i] * dx * dx;
        sxy += w[i] * dx * (points_[i].offsetUs - my);
    }
    const bool drift = last - first >= kMinDriftSpanUs && kept_ >= kMinSamples && sxx > 0;
    b_ = drift ? sxy / sxx : 0;
    a_ = my - b_ * mx;
    double rr = 0;
    for (size_t i = 0; i < n; ++i) {
        if (w[i] == 0) continue;
        const double r = points_[i].offsetUs - (a_ + b_ * static_cast<double>(points_[i].atUs - ref_));
        rr += w[i] * r * r;
    }
    const double rms = std::sqrt(rr / sw);
    const double effective = sw * sw / sw2;  // samples' worth of the weights
    // Standard errors: of the offset at ref (with the floor as the least
    // spread of a sample) and of the drift.
    const double spread = std::max(rms, floor);
    const double offsetError = spread / std::sqrt(effective);
    slopeError_ = drift ? spread / std::sqrt(sxx / sw) / std::sqrt(effective) : kDriftPrior;
    // Half the least round trip (a link's asymmetry cannot be seen from its
    // ends) and three standard errors.
    bound_ = minDelay / 2 + 3 * (offsetError + std::fabs(mx) * slopeError_);
    minDelay_ = minDelay;
    fitted_ = true;
}

ClockFit ClockEstimator::estimate(int64_t nowUs) const {
    ClockFit f;
    f.atUs = nowUs;
    f.samples = kept_;
    if (!fitted_) return f;
    const double x = static_cast<double>(nowUs - ref_);
    f.offsetUs = a_ + b_ * x;
    f.driftPpm = b_ * 1e6;
    f.uncertaintyUs = bound_ + 3 * std::fabs(x) * slopeError_;
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
    if (uncertaintyUs)
        *uncertaintyUs = bound_ + 3 * std::fabs(static_cast<double>(local - ref_)) * slopeError_;
    localUs = local;
    return true;
}

}  // namespace veksock
