#include "marker_filter.h"

#include <cmath>
#include <cstdio>

namespace numerics {
namespace {

bool Usable(const MarkerRecord& r) {
    return r.cond > 0 || (r.flags & MarkerFilter::kInterpolated) != 0;
}

MarkerRecord Padding() { return MarkerRecord{-1, -1, 0, 0, 0, -1.0f, 0}; }

}  // namespace

bool MarkerFilter::Set(float systemFreq, float filterFreq) {
    if (!(systemFreq > 0 && filterFreq > 0)) {
        std::fprintf(stderr, "error: MarkerFilter::Set: system_freq > 0 && filter_freq > 0\n");
        return false;
    }
    int length = static_cast<int>(static_cast<double>(systemFreq) / filterFreq);
    if (length % 2 == 0) ++length;
    if (length == n) return true;
    n = length;
    const auto size = static_cast<std::size_t>(n);
    if (data.empty()) {
        data.assign(size, MarkerRecord{});
    } else {
        while (data.size() < size) data.push_front(Padding());
    }
    return true;
}

bool MarkerFilter::Reset(float systemFreq, float filterFreq) {
    data.clear();
    n = -1;
    const bool set = Set(systemFreq, filterFreq);
    lastGood = -1;
    return set;
}

void MarkerFilter::Push(const MarkerRecord& record) {
    if (!data.empty()) data.pop_front();
    data.push_back(record);
    FillGap();
    if (record.cond > 0) lastGood = record.frame;
}

void MarkerFilter::FillGap() {
    const MarkerRecord& last = data.back();
    if (lastGood < 0 || last.cond <= 0) return;
    const long gap = static_cast<long>(last.frame) - lastGood;
    if (gap <= 1 || gap > n / 2) return;
    const long size = static_cast<long>(data.size());
    const long begin = size - gap - 1;
    if (begin < 0) return;
    const MarkerRecord good = data[static_cast<std::size_t>(begin)];
    // With frames missing from the window the record there is another one:
    // filling from it would overwrite real positions.
    if (good.frame != lastGood || good.cond <= 0) return;
    double v[3] = {last.x - good.x, last.y - good.y, last.z - good.z};
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    const double step = length / static_cast<double>(gap);
    if (length > 0) {
        for (double& c : v) c /= length;
    }
    for (long k = 1; k < gap; ++k) {
        MarkerRecord& r = data[static_cast<std::size_t>(begin + k)];
        const double along = static_cast<double>(k) * step;
        r.x = static_cast<float>(good.x + v[0] * along);
        r.y = static_cast<float>(good.y + v[1] * along);
        r.z = static_cast<float>(good.z + v[2] * along);
        r.flags |= kInterpolated;
    }
}

int MarkerFilter::Output(MarkerRecord& out, int mode) const {
    const int size = static_cast<int>(data.size());
    const int half = (n - 1) / 2;
    const int now = size - (half + 1);
    const int begin = now - half;
    const int end = now + half;
    int result = 0;
    if (n > 0 && begin >= 0 && end < size) {
        out = data[static_cast<std::size_t>(now)];
        result = mode == kLineFit ? FitLine(begin, end, now, out) : Average(begin, end, now, out);
    } else if (now >= 0 && now < size) {
        out = data[static_cast<std::size_t>(now)];
    }
    if (result <= 0) out.cond = -1.0f;
    return result;
}

int MarkerFilter::FitLine(int begin, int end, int now, MarkerRecord& out) const {
    const MarkerRecord& centre = data[static_cast<std::size_t>(now)];
    if (centre.cond <= 0 || !Usable(data[static_cast<std::size_t>(begin)]) ||
        !Usable(data[static_cast<std::size_t>(end)])) {
        return 0;
    }
    double c = 0, sdt = 0, sdt2 = 0;
    double s[3] = {0, 0, 0}, sdtp[3] = {0, 0, 0};
    for (int k = begin; k <= end; ++k) {
        const MarkerRecord& r = data[static_cast<std::size_t>(k)];
        if (!Usable(r)) continue;
        const double dt = static_cast<double>(r.frame) - centre.frame;
        const double p[3] = {r.x, r.y, r.z};
        c += 1;
        sdt += dt;
        sdt2 += dt * dt;
        for (int i = 0; i < 3; ++i) {
            s[i] += p[i];
            sdtp[i] += dt * p[i];
        }
    }
    double d = c * sdt2 - sdt * sdt;
    if (std::fabs(d) < 1e-7) d = 1;
    float* position[3] = {&out.x, &out.y, &out.z};
    for (int i = 0; i < 3; ++i) {
        const double slope = (c * sdtp[i] - sdt * s[i]) / d;
        *position[i] = static_cast<float>(s[i] / c - (sdt / c) * slope);
    }
    return 1;
}

int MarkerFilter::Average(int begin, int end, int now, MarkerRecord& out) const {
    const MarkerRecord& centre = data[static_cast<std::size_t>(now)];
    if (centre.cond < 0 || !Usable(data[static_cast<std::size_t>(begin)]) ||
        !Usable(data[static_cast<std::size_t>(end)])) {
        return 0;
    }
    int count = 0;
    double sum[3] = {0, 0, 0};
    for (int k = begin; k <= end; ++k) {
        const MarkerRecord& r = data[static_cast<std::size_t>(k)];
        if (!Usable(r)) continue;
        ++count;
        sum[0] += r.x;
        sum[1] += r.y;
        sum[2] += r.z;
    }
    out.x = static_cast<float>(sum[0] / count);
    out.y = static_cast<float>(sum[1] / count);
    out.z = static_cast<float>(sum[2] / count);
    return count;
}

}  // namespace numerics
