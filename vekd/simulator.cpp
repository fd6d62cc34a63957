#include "simulator.h"

#include <algorithm>
#include <cmath>

namespace vekd {

namespace {

// Peak shape: a 3 m away LED is 4 pixels wide; brightness falls with the
// square of the distance and with the angle off the LED's axis.
constexpr double kWidthPixelMillimetres = 12000.0;
constexpr double kAmpAtReference = 1000.0;
constexpr double kAmpReferenceDistance = 1500.0;

std::vector<int> ledIds(const Scene& scene) {
    std::vector<int> ids;
    for (const SceneLed& led : scene.leds) ids.push_back(led.id);
    return ids;
}

}  // namespace

Simulator::Simulator(Scene scene, uint64_t seed)
    : scene_(std::move(scene)), seed_(seed), reconstruction_(ledIds(scene_)) {
    for (SceneLed& led : scene_.leds) led.direction = normalized(led.direction);  // scenes built in code
    for (const SceneCamera& c : scene_.cameras) {
        models_.emplace_back(c);
        VEKCamera record{};
        record.id = c.id;
        const Quat q = normalized(c.orientation);
        const float pose[7] = {float(c.position.x), float(c.position.y), float(c.position.z), float(q.w),
                               float(q.x),          float(q.y),          float(q.z)};
        std::copy(pose, pose + 7, record.pose);
        record.cond = c.calibrated ? 1.0f : -1.0f;
        record.word = fovMillidegrees(std::max(c.hfovDegrees, c.vfovDegrees));
        cameras_.push_back(record);
        fov_.push_back({fovMillidegrees(c.hfovDegrees), fovMillidegrees(c.vfovDegrees)});
        calibration_.push_back(calibratedModel(record, fov_.back().data()));
    }

    const size_t ledCount = scene_.leds.size();
    bodyPoses_.resize(scene_.bodies.size());
    leds_.resize(ledCount);
    for (size_t i = 0; i < ledCount; ++i) leds_[i].coneCosine = std::cos(radians(scene_.leds[i].coneDegrees));
    sightings_.reserve(ledCount);
}

void Simulator::generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out) {
    out.clear();
    placeLeds(t);
    reconstruction_.startFrame(trackers);

    FrameRandom random(seed_, frame);
    for (size_t c = 0; c < models_.size(); ++c) {
        observeCamera(static_cast<int>(c), random);
        emitImages(frame, static_cast<int>(c), out);
    }
    reconstruction_.finishFrame(frame, trackers, out);
}

void Simulator::placeLeds(double t) {
    for (size_t b = 0; b < scene_.bodies.size(); ++b) bodyPoses_[b] = bodyPose(scene_.bodies[b], t);
    for (size_t i = 0; i < leds_.size(); ++i) {
        const SceneLed& led = scene_.leds[i];
        LedState& state = leds_[i];
        if (led.body < 0) {
            state.position = led.position;
            state.direction = led.direction;
        } else {
            const Pose& pose = bodyPoses_[led.body];
            state.position = apply(pose, led.position);
            state.direction = rotate(pose.rotation, led.direction);
        }
    }
}

// Which LEDs the camera sees this frame, with their noisy readings.
void Simulator::observeCamera(int camera, FrameRandom& random) {
    const CameraModel& model = models_[camera];
    const double sigma = scene_.noisePixels / double(VEK_DETECTOR_PIXELS);
    sightings_.clear();
    for (size_t i = 0; i < leds_.size(); ++i) {
        const LedState& led = leds_[i];
        double pos[2];
        if (!model.project(led.position, pos)) continue;
        const Vec3 toCamera = model.position() - led.position;
        const double distance = norm(toCamera);
        const double cosine = dot(toCamera, led.direction) / distance;
        if (!(cosine >= led.coneCosine)) continue;

        Sighting s;
        s.led = static_cast<int>(i);
        for (int d = 0; d < 2; ++d)
            s.pos[d] = static_cast<float>(std::clamp(pos[d] + sigma * random.gaussian(), 0.0, 1.0));
        s.width = std::max<int32_t>(2, static_cast<int32_t>(std::lround(kWidthPixelMillimetres / distance)));
        const double ratio = kAmpReferenceDistance / distance;
        s.amp = static_cast<float>(kAmpAtReference * ratio * ratio * cosine);
        sightings_.push_back(s);
    }
}

// Peaks of one camera, detector 0 then detector 1, within the frame's limit;
// calibrated cameras keep each reported reading for the reconstruction. A
// peak carries the marker id of the first enabled tracker holding its LED.
void Simulator::emitImages(int32_t frame, int camera, FrameData& out) {
    const bool calibrated = cameras_[camera].cond >= 0;
    for (int32_t detector = 0; detector < 2; ++detector) {
        DetectorRecord record{};
        record.id = camera * 2 + detector;
        record.frame = frame;
        record.camera = camera;
        record.detector = detector;
        record.pixels = VEK_DETECTOR_PIXELS;
        record.exposure = kExposureMicroseconds;
        record.noise = static_cast<float>(scene_.noisePixels);
        record.fov = fov_[camera][detector];
        for (const Sighting& s : sightings_) {
            if (out.images.size() >= static_cast<size_t>(kMaxImages)) break;
            ImageRecord image{};
            image.id = reconstruction_.markerId(s.led);
            image.frame = frame;
            image.camera = camera;
            image.detector = detector;
            image.width = s.width;
            image.flags = s.amp >= kSaturationAmp ? 1 : 0;
            image.pos = s.pos[detector];
            image.amp = std::min(s.amp, kSaturationAmp);
            out.images.push_back(image);
            out.imageLeds.push_back(scene_.leds[s.led].id);
            record.peaks += 1;
            record.maxAmp = std::max(record.maxAmp, image.amp);
            if (calibrated)
                reconstruction_.addReading(s.led, camera,
                                           calibration_[camera].readingPlane(detector, image.pos));
        }
        out.detectors.push_back(record);
    }
}

}  // namespace vekd
