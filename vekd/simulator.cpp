#include "simulator.h"

#include <algorithm>
#include <cmath>

#include "geometry_horn.h"
#include "sim_triangulation.h"

namespace vekd {

namespace {

// Peak shape: a 3 m away LED is 4 pixels wide; brightness falls with the
// square of the distance and with the angle off the LED's axis.
constexpr double kWidthPixelMillimetres = 12000.0;
constexpr double kAmpAtReference = 1000.0;
constexpr double kAmpReferenceDistance = 1500.0;

float conditionOf(double rmsResidual) { return static_cast<float>(1.0 + 100.0 * rmsResidual); }

}  // namespace

void FrameData::clear() {
    markers.clear();
    rigids.clear();
    images.clear();
    detectors.clear();
}

Simulator::Simulator(Scene scene, uint64_t seed) : scene_(std::move(scene)), seed_(seed) {
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
        record.word = static_cast<uint32_t>(std::lround(std::max(c.hfovDegrees, c.vfovDegrees) * 1000));
        cameras_.push_back(record);
    }
    for (size_t i = 0; i < scene_.leds.size(); ++i)
        ledIndexById_.emplace_back(scene_.leds[i].id, static_cast<int>(i));
    std::sort(ledIndexById_.begin(), ledIndexById_.end());

    const size_t ledCount = scene_.leds.size();
    bodyPoses_.resize(scene_.bodies.size());
    leds_.resize(ledCount);
    for (size_t i = 0; i < ledCount; ++i) leds_[i].coneCosine = std::cos(radians(scene_.leds[i].coneDegrees));
    sightings_.reserve(ledCount);
    readings_.reserve(kMaxImages);
    readingStart_.resize(ledCount + 1);
    readingCursor_.resize(ledCount);
    readingOrder_.resize(kMaxImages);
    planes_.reserve(kMaxImages);
    fitBody_.reserve(kMaxMarkers);
    fitWorld_.reserve(kMaxMarkers);
}

int Simulator::ledIndex(int ledId) const {
    auto it = std::lower_bound(ledIndexById_.begin(), ledIndexById_.end(), std::make_pair(ledId, -1));
    return it != ledIndexById_.end() && it->first == ledId ? it->second : -1;
}

void Simulator::generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out) {
    out.clear();
    placeLeds(t);
    assignMarkerIds(trackers);

    FrameRandom random(seed_, frame);
    readings_.clear();
    for (size_t c = 0; c < models_.size(); ++c) {
        observeCamera(static_cast<int>(c), random);
        emitImages(frame, static_cast<int>(c), out);
    }
    reconstructLeds();

    for (const ServerTracker& tracker : trackers.trackers())
        if (tracker.enabled) reportTracker(frame, tracker, out);
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
        state.markerId = -1;
        state.seen = false;
        state.cond = 0;
    }
}

// A peak carries the marker id of the first enabled tracker holding its LED.
void Simulator::assignMarkerIds(const TrackerTable& trackers) {
    for (const ServerTracker& tracker : trackers.trackers()) {
        if (!tracker.enabled) continue;
        for (const ServerMarker& marker : tracker.markers) {
            const int index = ledIndex(marker.led);
            if (index >= 0 && leds_[index].markerId < 0)
                leds_[index].markerId = vek_marker_id(tracker.id, marker.index);
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
// calibrated cameras keep each reported reading for the reconstruction.
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
        for (const Sighting& s : sightings_) {
            if (out.images.size() >= static_cast<size_t>(kMaxImages)) break;
            ImageRecord image{};
            image.id = leds_[s.led].markerId;
            image.frame = frame;
            image.camera = camera;
            image.detector = detector;
            image.width = s.width;
            image.flags = s.amp >= kSaturationAmp ? 1 : 0;
            image.pos = s.pos[detector];
            image.amp = std::min(s.amp, kSaturationAmp);
            out.images.push_back(image);
            record.peaks += 1;
            record.maxAmp = std::max(record.maxAmp, image.amp);
            if (calibrated)
                readings_.push_back({s.led, camera, models_[camera].readingPlane(detector, image.pos)});
        }
        out.detectors.push_back(record);
    }
}

// Every LED read by at least two calibrated cameras becomes a point.
void Simulator::reconstructLeds() {
    // Group the readings by LED; a counting sort keeps camera order in a group.
    std::fill(readingStart_.begin(), readingStart_.end(), 0);
    for (const Reading& r : readings_) readingStart_[r.led + 1] += 1;
    for (size_t i = 1; i < readingStart_.size(); ++i) readingStart_[i] += readingStart_[i - 1];
    std::copy(readingStart_.begin(), readingStart_.end() - 1, readingCursor_.begin());
    for (size_t k = 0; k < readings_.size(); ++k)
        readingOrder_[readingCursor_[readings_[k].led]++] = static_cast<int>(k);

    for (size_t i = 0; i < leds_.size(); ++i) {
        planes_.clear();
        int cameras = 0, lastCamera = -1;
        for (int k = readingStart_[i]; k < readingStart_[i + 1]; ++k) {
            const Reading& r = readings_[readingOrder_[k]];
            if (r.camera != lastCamera) ++cameras;
            lastCamera = r.camera;
            planes_.push_back(r.plane);
        }
        if (cameras < 2) continue;
        double rms = 0;
        LedState& led = leds_[i];
        if (intersectPlanes(planes_.data(), static_cast<int>(planes_.size()), led.reconstructed, rms)) {
            led.seen = true;
            led.cond = conditionOf(rms);
        }
    }
}

// The tracker's markers (seen or not) and, for a rigid tracker, its pose;
// a found pose fills the unseen markers when the tracker asks for it.
void Simulator::reportTracker(int32_t frame, const ServerTracker& tracker, FrameData& out) {
    const size_t first = out.markers.size();
    fitBody_.clear();
    fitWorld_.clear();
    for (const ServerMarker& marker : tracker.markers) {
        if (out.markers.size() >= static_cast<size_t>(kMaxMarkers)) break;
        MarkerRecord record{};
        record.id = vek_marker_id(tracker.id, marker.index);
        record.frame = frame;
        const int index = ledIndex(marker.led);
        if (index >= 0 && leds_[index].seen) {
            const LedState& led = leds_[index];
            record.x = static_cast<float>(led.reconstructed.x);
            record.y = static_cast<float>(led.reconstructed.y);
            record.z = static_cast<float>(led.reconstructed.z);
            record.cond = static_cast<float>(led.cond);
            if (marker.hasPosition) {
                fitBody_.push_back({marker.pos[0], marker.pos[1], marker.pos[2]});
                fitWorld_.push_back(led.reconstructed);
            }
        }
        out.markers.push_back(record);
    }
    if (tracker.type != VEK_RIGID_TRACKER || out.rigids.size() >= static_cast<size_t>(kMaxRigids)) return;

    RigidRecord rigid{};
    rigid.id = tracker.id;
    rigid.frame = frame;
    rigid.pose[3] = 1.0f;
    Pose pose;
    double rms = 0;
    if (fitRigidHorn(fitBody_.data(), fitWorld_.data(), static_cast<int>(fitBody_.size()), pose, rms)) {
        const float values[7] = {float(pose.position.x), float(pose.position.y), float(pose.position.z),
                                 float(pose.rotation.w), float(pose.rotation.x), float(pose.rotation.y),
                                 float(pose.rotation.z)};
        std::copy(values, values + 7, rigid.pose);
        rigid.cond = conditionOf(rms);
        rigid.word = static_cast<uint32_t>(fitBody_.size());
        if (tracker.fill > 0.5f) {
            for (size_t k = first; k < out.markers.size(); ++k) {
                const ServerMarker& marker = tracker.markers[k - first];
                MarkerRecord& record = out.markers[k];
                if (record.cond > 0 || !marker.hasPosition) continue;
                const Vec3 p = apply(pose, {marker.pos[0], marker.pos[1], marker.pos[2]});
                record.x = static_cast<float>(p.x);
                record.y = static_cast<float>(p.y);
                record.z = static_cast<float>(p.z);
                record.cond = rigid.cond;
                record.flags = VEK_MARKER_FILLED;
            }
        }
    }
    out.rigids.push_back(rigid);
}

}  // namespace vekd
