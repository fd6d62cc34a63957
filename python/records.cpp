#include "records.h"

#include <limits>

namespace vekpy {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void copyPose(const float pose[7], float position[3], float quaternion[4]) {
    std::memcpy(position, pose, 3 * sizeof(float));
    std::memcpy(quaternion, pose + 3, 4 * sizeof(float));
}

}  // namespace

MarkerRow markerRow(const MarkerRecord& r, int led) {
    if (!(r.cond > 0)) return unseenMarker(r.id, led);
    return {r.id, led, r.x, r.y, r.z, r.cond, (r.flags & VEK_MARKER_FILLED) != 0};
}

MarkerRow unseenMarker(int32_t id, int led) { return {id, led, kNaN, kNaN, kNaN, 0.0f, false}; }

RigidRow rigidRow(const RigidRecord& r) {
    if (!(r.cond > 0)) return unfoundRigid(r.id);
    RigidRow row{r.id, {}, {}, r.cond};
    copyPose(r.pose, row.position, row.quaternion);
    return row;
}

RigidRow unfoundRigid(int32_t id) { return {id, {kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN, kNaN}, 0.0f}; }

PeakRow peakRow(const ImageRecord& r) {
    return {r.frame, r.id, r.camera, r.detector, r.width, r.flags, r.pos, r.amp};
}

DetectorRow detectorRow(const DetectorRecord& r) {
    return {r.frame,  r.id,       r.camera, r.detector, r.peaks,
            r.pixels, r.exposure, r.noise,  r.maxAmp,   static_cast<float>(r.fov) / 1000.0f};
}

CameraRow cameraRow(const VEKCamera& c) {
    CameraRow row{c.id, {}, {}, c.cond, static_cast<float>(c.word) / 1000.0f};
    copyPose(c.pose, row.position, row.quaternion);
    return row;
}

std::vector<CameraRow> cameraRows(const std::vector<VEKCamera>& cameras) {
    std::vector<CameraRow> rows;
    rows.reserve(cameras.size());
    for (const VEKCamera& c : cameras) rows.push_back(cameraRow(c));
    return rows;
}

}  // namespace vekpy
