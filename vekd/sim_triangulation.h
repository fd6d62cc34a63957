// Least-squares intersection of detector planes.
#pragma once

#include "sim_camera.h"

namespace vekd {

// The sums over planes that fix the point nearest to them all (in summed
// squared distance): add the planes, then solve. The sums run in two lanes,
// planes alternating between them, so that a camera's two readings are
// added in one step with the same result as one by one.
class PlaneSums {
public:
    // The sums, each in its two lanes, in this order: A's a00 a01 a02 a11
    // a12 a22, b's x y z, the offsets' squares (see below).
    static constexpr int kSums = 10;

    PlaneSums() = default;
    // Sums of `count` planes taken elsewhere, in the order above, as the
    // additions of add() make them.
    PlaneSums(const Lanes sums[kSums], int count)
        : a00_(sums[0]),
          a01_(sums[1]),
          a02_(sums[2]),
          a11_(sums[3]),
          a12_(sums[4]),
          a22_(sums[5]),
          bx_(sums[6]),
          by_(sums[7]),
          bz_(sums[8]),
          offsetSquares_(sums[9]),
          count_(count) {}

    void add(const Plane& plane) {
        const int lane = count_ % 2;
        const Vec3 v = plane.normal;
        const Vec3 wv = v * plane.weight;  // the weight makes a plane count by distance
        a00_[lane] += wv.x * v.x;
        a01_[lane] += wv.x * v.y;
        a02_[lane] += wv.x * v.z;
        a11_[lane] += wv.y * v.y;
        a12_[lane] += wv.y * v.z;
        a22_[lane] += wv.z * v.z;
        bx_[lane] += wv.x * plane.offset;
        by_[lane] += wv.y * plane.offset;
        bz_[lane] += wv.z * plane.offset;
        offsetSquares_[lane] += plane.weight * plane.offset * plane.offset;
        ++count_;
    }
    // add() of the pair's detector 0 plane, then of its detector 1 plane,
    // with an even count so far.
    void add(const PlanePair& p) {
        const Lanes wx = p.x * p.weight, wy = p.y * p.weight, wz = p.z * p.weight;
        a00_ += wx * p.x;
        a01_ += wx * p.y;
        a02_ += wx * p.z;
        a11_ += wy * p.y;
        a12_ += wy * p.z;
        a22_ += wz * p.z;
        bx_ += wx * p.offset;
        by_ += wy * p.offset;
        bz_ += wz * p.offset;
        offsetSquares_ += p.weight * p.offset * p.offset;
        count_ += 2;
    }
    int count() const { return count_; }
    // False when the planes do not fix a point (fewer than 3, or nearly
    // parallel). rmsResidual: root mean square distance of the point from
    // the planes.
    bool solve(Vec3& point, double& rmsResidual) const;

private:
    // Normal equations A p = b with A = sum w n n^T, b = sum w n d.
    Lanes a00_ = {}, a01_ = {}, a02_ = {}, a11_ = {}, a12_ = {}, a22_ = {};
    Lanes bx_ = {}, by_ = {}, bz_ = {};
    Lanes offsetSquares_ = {};  // sum w d^2
    int count_ = 0;
};

}  // namespace vekd
