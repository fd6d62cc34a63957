// The geometry of one camera: two linear detectors behind a tangent
// projection. Detector 0 reads the horizontal angle, detector 1 the vertical.
#pragma once

#include <cstdint>

#include "geometry_math.h"
#include "scene.h"
#include "vek_types.h"

namespace vekd {

// Points p with dot(normal, p) == offset; the normal need not be of unit
// length.
struct Plane {
    Vec3 normal;
    double offset = 0;
    double weight = 1;  // 1 / |normal|^2: a point's distance squared is weight (normal . p - offset)^2
};

// Two doubles, one per detector of a camera, worked on together.
using Lanes = double __attribute__((vector_size(16)));

// A camera's two reading planes at once: detector 0 in lane 0, detector 1
// in lane 1, each as readingPlane gives it.
struct PlanePair {
    Lanes x, y, z;  // the normals
    Lanes offset, weight;
};

class CameraModel {
public:
    explicit CameraModel(const SceneCamera& camera);

    // Detector positions (0..1) of a world point; false when the point is
    // behind the camera or outside either detector.
    bool project(Vec3 world, double pos[2]) const;
    // The world plane of all points that give `pos` on `detector`.
    Plane readingPlane(int detector, double pos) const {
        const ReadingLines& l = lines_;
        const int d = detector;
        const Vec3 normal{l.x[d] + l.xSlope[d] * pos, l.y[d] + l.ySlope[d] * pos, l.z[d] + l.zSlope[d] * pos};
        return {normal, l.offset[d] + l.offsetSlope[d] * pos,
                1.0 / (l.square[d] + pos * (l.squareSlope[d] + pos * l.squareCurve[d]))};
    }
    // The planes of a reading of each detector.
    PlanePair readingPlanes(double pos0, double pos1) const {
        const ReadingLines& l = lines_;
        const Lanes pos = {pos0, pos1};
        return {l.x + l.xSlope * pos, l.y + l.ySlope * pos, l.z + l.zSlope * pos,
                l.offset + l.offsetSlope * pos,
                1.0 / (l.square + pos * (l.squareSlope + pos * l.squareCurve))};
    }

    Vec3 position() const { return position_; }

    // Each detector's reading planes as functions of the reading (lane d:
    // detector d): the normal and the offset are linear in it, the normal's
    // squared length quadratic.
    struct ReadingLines {
        Lanes x, y, z, xSlope, ySlope, zSlope;
        Lanes offset, offsetSlope;
        Lanes square, squareSlope, squareCurve;
    };
    const ReadingLines& readingLines() const { return lines_; }

private:
    Vec3 position_;
    Vec3 axis_[3];  // the camera's x, y and z axes in the world
    double tanHalfH_;
    double tanHalfV_;
    ReadingLines lines_;
};

// The camera as its calibration tells it: the pose of its camera record and
// the fields of view of its detectors (millidegrees, as detector records
// carry them). Readings become planes through this model, live and in a
// replay alike, so a replayed take rebuilds exactly the points served live.
CameraModel calibratedModel(const VEKCamera& camera, const uint32_t fovMillidegrees[2]);

// A field of view as detector records carry it: millidegrees.
uint32_t fovMillidegrees(double degrees);

}  // namespace vekd
