// Least-squares intersection of detector planes.
#pragma once

#include "sim_camera.h"

namespace vekd {

// The sums over planes that fix the point nearest to them all (in summed
// squared distance): add the planes, then solve.
class PlaneSums {
public:
    void add(const Plane& plane) {
        const Vec3 v = plane.normal;
        const Vec3 wv = v * plane.weight;  // the weight makes a plane count by distance
        a00_ += wv.x * v.x;
        a01_ += wv.x * v.y;
        a02_ += wv.x * v.z;
        a11_ += wv.y * v.y;
        a12_ += wv.y * v.z;
        a22_ += wv.z * v.z;
        b_ = b_ + wv * plane.offset;
        offsetSquares_ += plane.weight * plane.offset * plane.offset;
        ++count_;
    }
    int count() const { return count_; }
    // False when the planes do not fix a point (fewer than 3, or nearly
    // parallel). rmsResidual: root mean square distance of the point from
    // the planes.
    bool solve(Vec3& point, double& rmsResidual) const;

private:
    // Normal equations A p = b with A = sum w n n^T, b = sum w n d.
    double a00_ = 0, a01_ = 0, a02_ = 0, a11_ = 0, a12_ = 0, a22_ = 0;
    Vec3 b_;
    double offsetSquares_ = 0;  // sum w d^2
    int count_ = 0;
};

}  // namespace vekd
