// FrameRandom::gaussians for four streams at once, one per lane of GCC
// vector types, for code built for the x86-64 baseline, AVX2 and AVX-512.
// Lane by lane every step is the scalar one, so a deviate made here is the
// very one FrameRandom gives; what this code cannot decide beyond doubt it
// leaves to FrameRandom (the lanes it returns).
#pragma once

#include <cstdint>

#include "sim_random.h"

namespace vekd::lanes {

using F64x4 = double __attribute__((vector_size(32)));
using F64x2 = double __attribute__((vector_size(16)));
using I64x4 = int64_t __attribute__((vector_size(32)));
using U64x4 = uint64_t __attribute__((vector_size(32)));
using U32x4 = uint32_t __attribute__((vector_size(16)));
using I32x4 = int32_t __attribute__((vector_size(16)));

// A layer of the ziggurat as the lanes take it: the ratio and right edge
// for the first try, the curve at the layer's edges for the second.
struct Layer {
    double ratio, x, f, fNext;
};
struct Layers {
    Layer layer[ZigguratTable::kLayers];
    Layers() {
        for (int i = 0; i < ZigguratTable::kLayers; ++i)
            layer[i] = {kZiggurat.ratio[i], kZiggurat.x[i], kZiggurat.f[i], kZiggurat.f[i + 1]};
    }
};

template <typename V>
[[gnu::always_inline]] inline V load(const double* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline F64x4 select(I64x4 mask, F64x4 yes, F64x4 no) { return mask ? yes : no; }

[[gnu::always_inline]] inline unsigned bitsOf(I64x4 mask) {
    I64x4 bits = mask & I64x4{1, 2, 4, 8};
    bits |= __builtin_shufflevector(bits, bits, 2, 3, 0, 1);
    bits |= __builtin_shufflevector(bits, bits, 1, 0, 3, 2);
    return static_cast<unsigned>(bits[0]);
}

[[gnu::always_inline]] inline I64x4 maskOf(unsigned lanes) {
    return (I64x4{1, 2, 4, 8} & int64_t(lanes)) != 0;
}

// Two doubles of each lane's layer (at `field`: 0 ratio and x, 2 f and
// fNext), as one vector of the first and one of the second.
[[gnu::always_inline]] inline void layerPairs(const Layers& t, U32x4 layer, int field, F64x4& first,
                                              F64x4& second) {
    const F64x2 e0 = load<F64x2>(&t.layer[layer[0]].ratio + field);
    const F64x2 e1 = load<F64x2>(&t.layer[layer[1]].ratio + field);
    const F64x2 e2 = load<F64x2>(&t.layer[layer[2]].ratio + field);
    const F64x2 e3 = load<F64x2>(&t.layer[layer[3]].ratio + field);
    const F64x4 e02 = __builtin_shufflevector(e0, e2, 0, 1, 2, 3),
                e13 = __builtin_shufflevector(e1, e3, 0, 1, 2, 3);
    first = __builtin_shufflevector(e02, e13, 0, 4, 2, 6);
    second = __builtin_shufflevector(e02, e13, 1, 5, 3, 7);
}

// Unsigned integers below 2^53 as doubles, exactly.
[[gnu::always_inline]] inline F64x4 toDouble(U64x4 n) {
    const U64x4 exponent = U64x4{} + 0x4330000000000000ULL;  // 2^52, integers in the mantissa
    const F64x4 low = (F64x4)((n & 0xFFFFFFFFULL) | exponent) - 0x1.0p52;
    const F64x4 high = (F64x4)((n >> 32) | exponent) - 0x1.0p52;
    return high * 0x1.0p32 + low;
}

// exp(a) for -6 < a <= 0 within a relative 1e-14 (Cody and Waite's
// reduction, then Taylor's series to the 12th power).
[[gnu::always_inline]] inline F64x4 approximateExp(F64x4 a) {
    constexpr double kRound = 0x1.8p52;  // adding it rounds to an integer
    const F64x4 shifted = a * 0x1.71547652b82fep0 + kRound;
    const F64x4 k = shifted - kRound;
    const F64x4 r = (a - k * 0x1.62e42fee00000p-1) - k * 0x1.a39ef35793c76p-33;
    F64x4 p = F64x4{} + 1.0 / 479001600;
    for (const double c : {1.0 / 39916800, 1.0 / 3628800, 1.0 / 362880, 1.0 / 40320, 1.0 / 5040, 1.0 / 720,
                           1.0 / 120, 1.0 / 24, 1.0 / 6, 0.5, 1.0, 1.0})
        p = p * r + c;
    const I64x4 power = ((I64x4)shifted - (I64x4)(F64x4{} + kRound) + 1023) << 52;  // 2^k
    return p * (F64x4)power;
}

// A half's first try (FrameRandom::fromHalf): its layer, the deviate at its
// place (u times the layer's edge), and whether the place lies inside.
struct Try {
    U32x4 layer;
    F64x4 value;
    I64x4 inside;
};

// `layer` the half's low 7 bits, `place` its 25 bits above them. The place
// in -1..1 is (place + 0.5) 2^-24 - 1, exactly (2 + place 2^-24) - (3 -
// 2^-25): the first a double with the place in its mantissa, the
// difference exact (the two lie within a factor of two).
[[gnu::always_inline]] inline Try firstTry(const Layers& t, U64x4 layer, U64x4 place) {
    const F64x4 u = (F64x4)((place << 27) | 0x4000000000000000ULL) - (3.0 - 0x1.0p-25);
    Try out;
    out.layer = __builtin_convertvector(layer, U32x4);
    F64x4 ratio, x;
    layerPairs(t, out.layer, 0, ratio, x);
    out.inside = (F64x4)((I64x4)u & INT64_MAX) < ratio;  // |u| < ratio
    out.value = u * x;
    return out;
}

// The first tries of the low and the high half of each lane's number.
[[gnu::always_inline]] inline Try lowTry(const Layers& t, U64x4 bits) {
    return firstTry(t, bits & (ZigguratTable::kLayers - 1), (bits & 0xFFFFFFFFULL) >> 7);
}
[[gnu::always_inline]] inline Try highTry(const Layers& t, U64x4 bits) {
    return firstTry(t, (bits >> 32) & (ZigguratTable::kLayers - 1), bits >> 39);
}

// The numbers of four streams whose states are `states` (see
// FrameRandom::firstState).
[[gnu::always_inline]] inline U64x4 numbers(U64x4 states) { return FrameRandom::mix(states); }

// Both deviates of every lane whose halves both land inside their layers
// (almost all); the lanes where one does not are returned.
[[gnu::always_inline]] inline unsigned gaussians(const Layers& t, U64x4 states, F64x4 deviates[2]) {
    const U64x4 bits = numbers(states);
    const Try low = lowTry(t, bits), high = highTry(t, bits);
    deviates[0] = low.value;
    deviates[1] = high.value;
    return bitsOf(~(low.inside & high.inside));
}

// The deviates of lanes where one half landed outside its layer, as
// FrameRandom goes on: the edge test of that half (layers above the tail)
// with the stream's second number, and when the place is refused a new
// deviate from its third. Returns the lanes left to FrameRandom: both
// halves outside, the tail, an edge test too close to call, a third number
// outside its layer too.
[[gnu::always_inline]] inline unsigned gaussiansOutside(const Layers& t, U64x4 states, F64x4 deviates[2]) {
    const U64x4 bits = numbers(states);
    const Try low = lowTry(t, bits), high = highTry(t, bits);
    const I64x4 lowOutside = ~low.inside;
    // The half outside, in each lane where one is.
    const U32x4 layer = __builtin_convertvector(lowOutside, I32x4) ? low.layer : high.layer;
    const F64x4 v = select(lowOutside, low.value, high.value);
    const I64x4 tail = __builtin_convertvector(layer == 0, I64x4);

    // The edge: keep v when a height under the layer's top lies below the
    // curve at v. The second number gives the height.
    F64x4 f, fNext;
    layerPairs(t, layer, 2, f, fNext);
    const F64x4 uniform = (toDouble(numbers(states + FrameRandom::kGolden) >> 11) + 0.5) * 0x1.0p-53;
    const F64x4 height = f + uniform * (fNext - f);
    const F64x4 curve = approximateExp(-0.5 * v * v);
    constexpr double kDoubt = 1e-12;  // far beyond the errors of either exponential
    const I64x4 keep = height < curve * (1 - kDoubt);
    const I64x4 refuse = height > curve * (1 + kDoubt);

    // Refused: FrameRandom::gaussian's first try with the third number.
    const U64x4 third = numbers(states + 2 * FrameRandom::kGolden);
    const F64x4 u = (toDouble(third >> 11) + 0.5) * 0x1.0p-52 - 1.0;
    const U32x4 thirdLayer = __builtin_convertvector(third & (ZigguratTable::kLayers - 1), U32x4);
    F64x4 ratio, x;
    layerPairs(t, thirdLayer, 0, ratio, x);
    const I64x4 thirdInside = (F64x4)((I64x4)u & INT64_MAX) < ratio;

    const F64x4 value = select(keep, v, u * x);
    deviates[0] = select(lowOutside, value, low.value);
    deviates[1] = select(high.inside, high.value, value);
    const I64x4 decided =
        (low.inside & high.inside) | (~(lowOutside & ~high.inside) & ~tail & (keep | (refuse & thirdInside)));
    return bitsOf(~decided);
}

}  // namespace vekd::lanes
