// The rows of the module's NumPy arrays, one plain struct per record kind
// (the structured dtypes are made from them), and the conversion from the
// library's records. Positions in millimetres; a marker not seen and a
// rigid body not found have NaN positions. No Python here.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "vek_types.h"

namespace vekpy {

// Packed: no padding (of unknown content) in the array's items.
struct __attribute__((packed)) MarkerRow {
    int32_t id;   // vek_marker_id(tracker id, marker index)
    int32_t led;  // -1 when this program did not define the marker's tracker
    float x, y, z;
    float cond;   // > 0 seen (larger is worse), 0 not seen
    bool filled;  // not seen: placed where its rigid body's pose puts it
};

struct RigidRow {
    int32_t id;  // tracker id
    float position[3];
    float quaternion[4];  // w, x, y, z
    float cond;           // > 0 when the pose was found
};

struct PeakRow {
    int32_t frame;
    int32_t id;  // marker id, -1 when no marker holds the LED
    int32_t camera;
    int32_t detector;  // 0 horizontal angle, 1 vertical angle
    int32_t width;     // pixels
    int32_t flags;     // 1 saturated
    float pos;         // 0 to 1 along the detector
    float amp;
};

struct DetectorRow {
    int32_t frame;
    int32_t id;  // camera * 2 + detector
    int32_t camera;
    int32_t detector;
    int32_t peaks;
    int32_t pixels;
    float exposure;  // microseconds
    float noise;     // pixels
    float max_amp;
    float fov;  // degrees, 0 when not told
};

struct CameraRow {
    int32_t id;
    float position[3];    // camera to world
    float quaternion[4];  // w, x, y, z; the camera looks along its -z axis
    float cond;           // < 0 not calibrated
    float fov;            // the wider of its detectors' fields of view, degrees
};

// Record i of a frame section (sections need not be aligned).
template <typename Record>
Record recordAt(const uint8_t* records, uint32_t i) {
    Record r;
    std::memcpy(&r, records + size_t{i} * sizeof r, sizeof r);
    return r;
}

MarkerRow markerRow(const MarkerRecord& r, int led);
MarkerRow unseenMarker(int32_t id, int led);
RigidRow rigidRow(const RigidRecord& r);
RigidRow unfoundRigid(int32_t id);
PeakRow peakRow(const ImageRecord& r);
DetectorRow detectorRow(const DetectorRecord& r);
CameraRow cameraRow(const VEKCamera& c);
std::vector<CameraRow> cameraRows(const std::vector<VEKCamera>& cameras);

}  // namespace vekpy
