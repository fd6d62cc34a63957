#include "sim_random.h"

namespace vekd {

namespace {

ZigguratTable makeZiggurat() {
    constexpr double kLayerArea = 9.91256303526217e-3;
    constexpr int n = ZigguratTable::kLayers;
    ZigguratTable z{};
    double f = std::exp(-0.5 * ZigguratTable::kTailStart * ZigguratTable::kTailStart);
    z.x[0] = kLayerArea / f;
    z.x[1] = ZigguratTable::kTailStart;
    z.x[n] = 0;
    for (int i = 2; i < n; ++i) {
        z.x[i] = std::sqrt(-2 * std::log(kLayerArea / z.x[i - 1] + f));
        f = std::exp(-0.5 * z.x[i] * z.x[i]);
    }
    for (int i = 0; i < n; ++i) z.ratio[i] = z.x[i + 1] / z.x[i];
    for (int i = 0; i <= n; ++i) z.f[i] = std::exp(-0.5 * z.x[i] * z.x[i]);
    return z;
}

}  // namespace

const ZigguratTable kZiggurat = makeZiggurat();

bool FrameRandom::outsideTheCore(unsigned layer, double u, double& value) {
    const double* x = kZiggurat.x;
    if (layer == 0) {  // the tail beyond kTailStart (Marsaglia's method)
        constexpr double r = ZigguratTable::kTailStart;
        double t, y;
        do {
            t = std::log(uniform()) / r;
            y = std::log(uniform());
        } while (-2 * y < t * t);
        value = u < 0 ? t - r : r - t;
        return true;
    }
    // Under the curve: a height between the layer's bottom and top edges
    // below the curve at v.
    const double v = u * x[layer];
    const double* f = kZiggurat.f;
    value = v;
    return f[layer] + uniform() * (f[layer + 1] - f[layer]) < std::exp(-0.5 * v * v);
}

}  // namespace vekd
