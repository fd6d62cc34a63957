// Least-squares intersection of detector planes.
#pragma once

#include "sim_camera.h"

namespace vekd {

// The sums over planes that fix the point nearest to them all (in summed
// squared distance): add the planes, then solve. The sums run in two lanes,
// planes alternating between them, so that a camera's two readings are
// added in one step (addPair) with the same result as one by one.
class PlaneSums {
public:
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
    // add(first) then add(second), with an even count so far.
    void addPair(const Plane& first, const Plane& second) {
        const Lanes x = {first.normal.x, second.normal.x}, y = {first.normal.y, second.normal.y},
                    z = {first.normal.z, second.normal.z};
        const Lanes w = {first.weight, second.weight}, d = {first.offset, second.offset};
        const Lanes wx = x * w, wy = y * w, wz = z * w;
        a00_ += wx * x;
        a01_ += wx * y;
        a02_ += wx * z;
        a11_ += wy * y;
        a12_ += wy * z;
        a22_ += wz * z;
        bx_ += wx * d;
        by_ += wy * d;
        bz_ += wz * d;
        offsetSquares_ += w * d * d;
        count_ += 2;
    }
    int count() const { return count_; }
    // False when the planes do not fix a point (fewer than 3, or nearly
    // parallel). rmsResidual: root mean square distance of the point from
    // the planes.
    bool solve(Vec3& point, double& rmsResidual) const;

private:
    using Lanes = double __attribute__((vector_size(16)));
    // Normal equations A p = b with A = sum w n n^T, b = sum w n d.
    Lanes a00_ = {}, a01_ = {}, a02_ = {}, a11_ = {}, a12_ = {}, a22_ = {};
    Lanes bx_ = {}, by_ = {}, bz_ = {};
    Lanes offsetSquares_ = {};  // sum w d^2
    int count_ = 0;
};

}  // namespace vekd
