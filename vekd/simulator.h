// The capture system's physics: per frame, what every camera's detectors
// see, the markers reconstructed from those readings and the rigid poses
// fitted to them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "frame_data.h"
#include "reconstruction.h"
#include "scene.h"
#include "sim_camera.h"
#include "sim_random.h"
#include "trackers.h"
#include "vek_types.h"

namespace vekd {

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
    // t, trackers). Markers come from the readings through the camera
    // calibration the camera list reports (see calibratedModel).
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
    };
    struct Sighting {
        int led = 0;
        float pos[2] = {0, 0};
        int32_t width = 0;
        float amp = 0;
    };
    void placeLeds(double t);
    void observeCamera(int camera, FrameRandom& random);
    void emitImages(int32_t frame, int camera, FrameData& out);

    Scene scene_;
    uint64_t seed_;
    std::vector<VEKCamera> cameras_;
    std::vector<CameraModel> models_;           // the truth: what the detectors see
    std::vector<CameraModel> calibration_;      // what readings are turned into planes with
    std::vector<std::array<uint32_t, 2>> fov_;  // per camera and detector, millidegrees
    Reconstruction reconstruction_;             // LED index i is scene_.leds[i]

    // Per-frame work space, kept to avoid allocations.
    std::vector<Pose> bodyPoses_;
    std::vector<LedState> leds_;
    std::vector<Sighting> sightings_;
};

}  // namespace vekd
