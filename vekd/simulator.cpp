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
    : scene_(std::move(scene)),
      seed_(seed),
      noise_(scene_.noisePixels / double(VEK_DETECTOR_PIXELS)),
      reconstruction_(ledIds(scene_)) {
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

    // A fixed LED looks the same to a camera in every frame: only the
    // noise changes. Its views are made here, once.
    const size_t ledCount = scene_.leds.size();
    const int cameraCount = static_cast<int>(models_.size());
    std::vector<size_t> staticStart(ledCount + 1, 0);
    for (size_t i = 0; i < ledCount; ++i) {
        const SceneLed& led = scene_.leds[i];
        staticStart[i] = staticViews_.size();
        if (led.body >= 0) {
            movingLeds_.push_back(static_cast<int>(i));
            continue;
        }
        const double coneCosine = std::cos(radians(led.coneDegrees));
        View view;
        for (int c = 0; c < cameraCount; ++c)
            if (see(c, led.position, led.direction, coneCosine, view)) staticViews_.push_back(view);
    }
    staticStart[ledCount] = staticViews_.size();
    readings_ = LedReadings(ledCount, calibration_, noise_);
    for (size_t i = 0; i < ledCount; ++i)
        for (size_t k = staticStart[i]; k < staticStart[i + 1]; ++k)
            addReading(static_cast<int>(i), staticViews_[k]);
    ledViews_.resize(ledCount);
    for (size_t i = 0; i < ledCount; ++i)
        ledViews_[i] = {staticViews_.data() + staticStart[i],
                        static_cast<int>(staticStart[i + 1] - staticStart[i])};

    bodyPoses_.resize(scene_.bodies.size());
    movingViews_.reserve(movingLeds_.size() * models_.size());  // never moves: ledViews_ points into it
    viewCursor_.resize(ledCount);
    sightings_.reserve(ledCount);
}

void Simulator::generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out) {
    out.clear();
    viewMovingLeds(t);
    reconstruction_.startFrame(trackers);
    const FrameRandom random(seed_, frame);
    emitImages(frame, random, out);
    locateLeds(random);
    reconstruction_.finishFrame(frame, trackers, out);
}

// Whether the camera sees an LED at `position` emitting along `direction`,
// and how.
bool Simulator::see(int camera, Vec3 position, Vec3 direction, double coneCosine, View& out) const {
    const CameraModel& model = models_[camera];
    if (!model.project(position, out.pos)) return false;
    const Vec3 toCamera = model.position() - position;
    const double distance = norm(toCamera);
    const double cosine = dot(toCamera, direction) / distance;
    if (!(cosine >= coneCosine)) return false;
    out.camera = camera;
    out.width = std::max<int32_t>(2, static_cast<int32_t>(std::lround(kWidthPixelMillimetres / distance)));
    const double ratio = kAmpReferenceDistance / distance;
    out.amp = static_cast<float>(kAmpAtReference * ratio * ratio * cosine);
    return true;
}

void Simulator::viewMovingLeds(double t) {
    if (movingLeds_.empty()) return;
    for (size_t b = 0; b < scene_.bodies.size(); ++b) bodyPoses_[b] = bodyPose(scene_.bodies[b], t);
    movingViews_.clear();
    View view;
    for (const int i : movingLeds_) {
        const SceneLed& led = scene_.leds[i];
        const Pose& pose = bodyPoses_[led.body];
        const Vec3 position = apply(pose, led.position);
        const Vec3 direction = rotate(pose.rotation, led.direction);
        const double coneCosine = std::cos(radians(led.coneDegrees));
        const size_t first = movingViews_.size();
        readings_.clear(i);
        for (int c = 0; c < static_cast<int>(models_.size()); ++c) {
            if (!see(c, position, direction, coneCosine, view)) continue;
            movingViews_.push_back(view);
            addReading(i, view);
        }
        ledViews_[i] = {movingViews_.data() + first, static_cast<int>(movingViews_.size() - first)};
    }
}

inline void Simulator::read(const FrameRandom& random, int led, const View& view, float pos[2]) const {
    LedReadings::read(random, view.camera, led, view.pos, noise_, pos);
}

// Peaks of every camera, detector 0 then detector 1, within the frame's
// limit, and every detector's record. A peak carries the marker id of the
// first enabled tracker holding its LED.
void Simulator::emitImages(int32_t frame, const FrameRandom& random, FrameData& out) {
    std::fill(viewCursor_.begin(), viewCursor_.end(), 0);
    for (int camera = 0; camera < static_cast<int>(models_.size()); ++camera) {
        sightings_.clear();
        if (out.images.size() < static_cast<size_t>(kMaxImages))
            sightCamera(camera, kMaxImages - out.images.size(), random);
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
            }
            out.detectors.push_back(record);
        }
    }
}

// The LEDs the camera sees this frame, in LED order, with their readings;
// no more than `limit`, the peaks the frame still has room for (both
// detectors' peaks come from the same sightings, detector 0's first).
// Cameras are sighted in order: each LED's views are taken in turn.
void Simulator::sightCamera(int camera, size_t limit, const FrameRandom& random) {
    for (size_t i = 0; i < ledViews_.size() && sightings_.size() < limit; ++i) {
        const LedViews& views = ledViews_[i];
        int& cursor = viewCursor_[i];
        if (cursor >= views.count || views.first[cursor].camera != camera) continue;
        const View& view = views.first[cursor++];
        Sighting s;
        s.led = static_cast<int>(i);
        read(random, s.led, view, s.pos);
        s.width = view.width;
        s.amp = view.amp;
        sightings_.push_back(s);
    }
}

// Every LED a tracker reports, from the readings of every calibrated
// camera that sees it, whether its peaks fit in the stream or not.
void Simulator::locateLeds(const FrameRandom& random) {
    constexpr int kLanes = LedReadings::kLanes;
    const int ledCount = static_cast<int>(ledViews_.size());
    PlaneSums sums[kLanes];
    int cameras[kLanes];
    for (int group = 0; group < readings_.groups(); ++group) {
        unsigned lanes = 0;
        for (int lane = 0, led = group * kLanes; lane < kLanes && led < ledCount; ++lane, ++led)
            if (reconstruction_.markerId(led) >= 0) lanes |= 1u << lane;
        if (lanes == 0) continue;
        readings_.sum(group, lanes, random, sums, cameras);
        for (int lane = 0; lane < kLanes; ++lane)
            if (lanes & (1u << lane))
                reconstruction_.locate(group * kLanes + lane, sums[lane], cameras[lane]);
    }
}

// The views of calibrated cameras place the LED.
void Simulator::addReading(int led, const View& view) {
    if (cameras_[view.camera].cond >= 0) readings_.add(led, view.camera, view.pos);
}

}  // namespace vekd
