#include "marker_filter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace numerics {
namespace {

// Sums are rebuilt from the window this often, which also moves their base
// frame along.
constexpr int kRebuildInterval = 1024;

bool Usable(const MarkerRecord& r) { return r.cond > 0 || (r.flags & MarkerFilter::kInterpolated) != 0; }

MarkerRecord Padding() { return MarkerRecord{-1, -1, 0, 0, 0, -1.0f, 0}; }

}  // namespace

bool MarkerFilter::Set(float systemFreq, float filterFreq) {
    if (!(systemFreq > 0 && filterFreq > 0 && std::isfinite(systemFreq) && std::isfinite(filterFreq))) {
        std::fprintf(stderr, "error: MarkerFilter::Set: system_freq > 0 && filter_freq > 0\n");
        return false;
    }
    const double ratio = static_cast<double>(systemFreq) / filterFreq;
    int length = ratio < kMaxWindow ? static_cast<int>(ratio) : kMaxWindow;
    if (length % 2 == 0) ++length;
    if (length == n_) return true;
    n_ = length;
    const auto size = static_cast<std::size_t>(n_);
    if (data_.empty()) {
        data_.assign(size, MarkerRecord{});
    } else {
        while (data_.size() < size) data_.push_front(Padding());
    }
    Rebuild();
    return true;
}

bool MarkerFilter::Reset(float systemFreq, float filterFreq) {
    data_.clear();
    n_ = -1;
    const bool set = Set(systemFreq, filterFreq);
    lastGood_ = -1;
    return set;
}

void MarkerFilter::Push(const MarkerRecord& record) {
    const std::size_t window = n_ > 0 ? static_cast<std::size_t>(n_) : 0;
    if (!data_.empty()) {
        // The record that leaves the window (the last n records).
        if (data_.size() >= window && window > 0) Account(data_[data_.size() - window], -1);
        data_.pop_front();
    }
    data_.push_back(record);
    if (window > 0) Account(record, +1);
    FillGap();
    if (record.cond > 0) lastGood_ = record.frame;
    if (++pushesSinceRebuild_ >= kRebuildInterval ||
        std::abs(static_cast<long>(record.frame) - base_) > kRebuildInterval) {
        Rebuild();
    }
}

void MarkerFilter::Account(const MarkerRecord& r, double sign) {
    if (!Usable(r)) return;
    const double t = static_cast<double>(r.frame) - base_;
    const double p[3] = {r.x, r.y, r.z};
    sums_.count += sign;
    sums_.t += sign * t;
    sums_.tt += sign * t * t;
    for (int i = 0; i < 3; ++i) {
        sums_.p[i] += sign * p[i];
        sums_.tp[i] += sign * t * p[i];
    }
}

void MarkerFilter::Rebuild() {
    sums_ = WindowSums{};
    pushesSinceRebuild_ = 0;
    base_ = data_.empty() ? 0 : data_.back().frame;
    if (n_ <= 0) return;
    const std::size_t size = data_.size();
    const std::size_t first = size > static_cast<std::size_t>(n_) ? size - static_cast<std::size_t>(n_) : 0;
    for (std::size_t k = first; k < size; ++k) Account(data_[k], +1);
}

void MarkerFilter::FillGap() {
    const MarkerRecord& last = data_.back();
    if (lastGood_ < 0 || last.cond <= 0) return;
    const long gap = static_cast<long>(last.frame) - lastGood_;
    if (gap <= 1 || gap > n_ / 2) return;
    const long size = static_cast<long>(data_.size());
    const long begin = size - gap - 1;
    if (begin < 0) return;
    const MarkerRecord good = data_[static_cast<std::size_t>(begin)];
    // With frames missing from the window the record there is another one:
    // filling from it would overwrite real positions.
    if (good.frame != lastGood_ || good.cond <= 0) return;
    double v[3] = {last.x - good.x, last.y - good.y, last.z - good.z};
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double step = length / static_cast<double>(gap);
    if (length > 0) {
        for (double& c : v) c /= length;
    }
    for (long k = 1; k < gap; ++k) {
        MarkerRecord& r = data_[static_cast<std::size_t>(begin + k)];
        Account(r, -1);
        const double along = static_cast<double>(k) * step;
        r.x = static_cast<float>(good.x + v[0] * along);
        r.y = static_cast<float>(good.y + v[1] * along);
        r.z = static_cast<float>(good.z + v[2] * along);
        r.flags |= kInterpolated;
        Account(r, +1);
    }
}

int MarkerFilter::Output(MarkerRecord& out, int mode) const {
    const int size = static_cast<int>(data_.size());
    const int half = (n_ - 1) / 2;
    const int now = size - (half + 1);
    const int begin = now - half;
    const int end = now + half;
    if (n_ <= 0 || begin < 0 || end >= size) {
        if (now >= 0 && now < size) out = data_[static_cast<std::size_t>(now)];
        out.cond = -1.0f;
        return 0;
    }
    const MarkerRecord& centre = data_[static_cast<std::size_t>(now)];
    out = centre;
    const bool lineFit = mode == kLineFit;
    const bool centreOk = lineFit ? centre.cond > 0 : centre.cond >= 0;
    if (!centreOk || !Usable(data_[static_cast<std::size_t>(begin)]) ||
        !Usable(data_[static_cast<std::size_t>(end)])) {
        out.cond = -1.0f;
        return 0;
    }
    // The window's ends are usable, so count >= 1.
    const WindowSums& s = sums_;
    const double perCount = 1.0 / s.count;
    float* position[3] = {&out.x, &out.y, &out.z};
    if (!lineFit) {
        for (int i = 0; i < 3; ++i) *position[i] = static_cast<float>(s.p[i] * perCount);
        return static_cast<int>(std::lround(s.count));
    }
    // Sums of dt = frame - centre frame, from the sums relative to base.
    const double tc = static_cast<double>(centre.frame) - base_;
    const double sdt = s.t - s.count * tc;
    const double sdt2 = s.tt - 2 * tc * s.t + s.count * tc * tc;
    double d = s.count * sdt2 - sdt * sdt;
    if (std::fabs(d) < 1e-7) d = 1;
    const double perD = 1.0 / d;
    const double meanDt = sdt * perCount;
    for (int i = 0; i < 3; ++i) {
        const double sdtp = s.tp[i] - tc * s.p[i];
        const double slope = (s.count * sdtp - sdt * s.p[i]) * perD;
        *position[i] = static_cast<float>(s.p[i] * perCount - meanDt * slope);
    }
    return 1;
}

}  // namespace numerics
