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

class CameraModel {
public:
    explicit CameraModel(const SceneCamera& camera);

    // Detector positions (0..1) of a world point; false when the point is
    // behind the camera or outside either detector.
    bool project(Vec3 world, double pos[2]) const;
    // The world plane of all points that give `pos` on `detector`.
    Plane readingPlane(int detector, double pos) const {
        const ReadingLine& line = readings_[detector];
        const Vec3 normal = line.normal + line.normalSlope * pos;
        return {normal, line.offset + line.offsetSlope * pos,
                1.0 / (line.square + pos * (line.squareSlope + pos * line.squareCurve))};
    }

    Vec3 position() const { return position_; }

private:
    Vec3 position_;
    Vec3 axis_[3];  // the camera's x, y and z axes in the world
    double tanHalfH_;
    double tanHalfV_;
    // A detector's reading planes as functions of the reading: the normal
    // and the offset are linear in it, the normal's squared length
    // quadratic.
    struct ReadingLine {
        Vec3 normal, normalSlope;
        double offset = 0, offsetSlope = 0;
        double square = 0, squareSlope = 0, squareCurve = 0;
    };
    ReadingLine readings_[2];
};

// The camera as its calibration tells it: the pose of its camera record and
// the fields of view of its detectors (millidegrees, as detector records
// carry them). Readings become planes through this model, live and in a
// replay alike, so a replayed take rebuilds exactly the points served live.
CameraModel calibratedModel(const VEKCamera& camera, const uint32_t fovMillidegrees[2]);

// A field of view as detector records carry it: millidegrees.
uint32_t fovMillidegrees(double degrees);

}  // namespace vekd
