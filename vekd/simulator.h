// The capture system's physics: per frame, what every camera's detectors
// see, the markers reconstructed from those readings and the rigid poses
// fitted to them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "scene.h"
#include "sim_camera.h"
#include "sim_random.h"
#include "trackers.h"
#include "vek_types.h"

namespace vekd {

struct FrameData {
    std::vector<MarkerRecord> markers;
    std::vector<RigidRecord> rigids;
    std::vector<ImageRecord> images;
    std::vector<DetectorRecord> detectors;
    void clear();
};

class Simulator {
public:
    // Most records of one kind in a frame (what one client fetch can take).
    static constexpr int kMaxImages = VEK_MAX_IMAGES;
    static constexpr int kMaxMarkers = VEK_MAX_MARKERS;
    static constexpr int kMaxRigids = VEK_MAX_RIGIDS;
    static constexpr float kExposureMicroseconds = 100.0f;
    static constexpr float kSaturationAmp = 1023.0f;

    Simulator(Scene scene, uint64_t seed);

    // Frame `frame` at scene time t seconds, for the trackers defined now.
    // Fills every record's frame field. Positions in millimetres in the
    // world frame. Deterministic: a pure function of (scene, seed, frame,
    // t, trackers).
    void generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out);
    // id, pose camera->world, cond (1 calibrated, -1 not), word = field of
    // view in millidegrees (the wider of the two when they differ).
    const std::vector<VEKCamera>& cameras() const { return cameras_; }
    const Scene& scene() const { return scene_; }

private:
    struct LedState {
        Vec3 position;   // world, this frame
        Vec3 direction;  // world emission axis
        double coneCosine = 0;
        int markerId = -1;
        bool seen = false;  // reconstructed this frame
        Vec3 reconstructed;
        double cond = 0;
    };
    struct Sighting {
        int led = 0;
        float pos[2] = {0, 0};
        int32_t width = 0;
        float amp = 0;
    };
    struct Reading {
        int led = 0;
        int camera = 0;
        Plane plane;
    };

    void placeLeds(double t);
    void assignMarkerIds(const TrackerTable& trackers);
    void observeCamera(int camera, FrameRandom& random);
    void emitImages(int32_t frame, int camera, FrameData& out);
    void reconstructLeds();
    void reportTracker(int32_t frame, const ServerTracker& tracker, FrameData& out);
    int ledIndex(int ledId) const;

    Scene scene_;
    uint64_t seed_;
    std::vector<VEKCamera> cameras_;
    std::vector<CameraModel> models_;
    std::vector<std::pair<int, int>> ledIndexById_;  // (LED id, index), sorted

    // Per-frame work space, kept to avoid allocations.
    std::vector<Pose> bodyPoses_;
    std::vector<LedState> leds_;
    std::vector<Sighting> sightings_;
    std::vector<Reading> readings_;
    std::vector<int> readingStart_;  // LED i's readings: readingOrder_[start[i] .. start[i + 1])
    std::vector<int> readingCursor_;
    std::vector<int> readingOrder_;
    std::vector<Plane> planes_;
    std::vector<Vec3> fitBody_;
    std::vector<Vec3> fitWorld_;
};

}  // namespace vekd
