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
#include "sim_led_readings.h"
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
    // Views point into the simulator's own lists: not to be copied.
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Frame `frame` at scene time t seconds, for the trackers defined now.
    // Fills every record's frame field. Positions in millimetres in the
    // world frame. Deterministic: a pure function of (scene, seed, frame,
    // t, trackers); each reading's noise is drawn from its own stream of
    // (seed, frame, camera, LED), so readings nobody needs are never made.
    // Markers come from every reading of a calibrated camera, also those
    // past the peak stream's limit, through the camera calibration the
    // camera list reports (see calibratedModel).
    void generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out);
    // id, pose camera->world, cond (1 calibrated, -1 not), word = field of
    // view in millidegrees (the wider of the two when they differ).
    const std::vector<VEKCamera>& cameras() const { return cameras_; }
    const Scene& scene() const { return scene_; }

private:
    // What one camera sees of one LED, before noise.
    struct View {
        int camera = 0;
        int32_t width = 0;
        float amp = 0;
        double pos[2] = {0, 0};  // exact detector positions
    };
    struct LedViews {  // one LED's views, by camera
        const View* first = nullptr;
        int count = 0;
    };
    struct Sighting {
        int led = 0;
        float pos[2] = {0, 0};
        int32_t width = 0;
        float amp = 0;
    };
    bool see(int camera, Vec3 position, Vec3 direction, double coneCosine, View& out) const;
    void viewMovingLeds(double t);
    // The noisy readings of a view this frame.
    void read(const FrameRandom& random, int led, const View& view, float pos[2]) const;
    void emitImages(int32_t frame, const FrameRandom& random, FrameData& out);
    void sightCamera(int camera, size_t limit, const FrameRandom& random);
    void locateLeds(const FrameRandom& random);
    void addReading(int led, const View& view);

    Scene scene_;
    uint64_t seed_;
    double noise_;  // standard deviation of a reading, in detector lengths
    std::vector<VEKCamera> cameras_;
    std::vector<CameraModel> models_;           // the truth: what the detectors see
    std::vector<CameraModel> calibration_;      // what readings are turned into planes with
    std::vector<std::array<uint32_t, 2>> fov_;  // per camera and detector, millidegrees
    Reconstruction reconstruction_;             // LED index i is scene_.leds[i]
    LedReadings readings_;                      // what places the LEDs: calibrated cameras' views

    std::vector<View> staticViews_;   // of the LEDs fixed in the room, made once
    std::vector<int> movingLeds_;     // indexes of the LEDs on bodies
    std::vector<View> movingViews_;   // of the LEDs on bodies, this frame
    std::vector<LedViews> ledViews_;  // per LED, into the two above

    // Per-frame work space, kept to avoid allocations.
    std::vector<Pose> bodyPoses_;
    std::vector<int> viewCursor_;  // per LED: its next view in camera order
    std::vector<Sighting> sightings_;
};

}  // namespace vekd
