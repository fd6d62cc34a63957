#include "reconstruction.h"

#include <algorithm>

#include "geometry_horn.h"
#include "sim_triangulation.h"

namespace vekd {

namespace {

float conditionOf(double rmsResidual) { return static_cast<float>(1.0 + 100.0 * rmsResidual); }

}  // namespace

Reconstruction::Reconstruction(const std::vector<int>& ledIds) : leds_(ledIds.size()) {
    for (size_t i = 0; i < ledIds.size(); ++i) indexById_.emplace_back(ledIds[i], static_cast<int>(i));
    std::sort(indexById_.begin(), indexById_.end());
    if (!indexById_.empty()) {
        const long long span = static_cast<long long>(indexById_.back().first) - indexById_.front().first + 1;
        if (span <= 4 * static_cast<long long>(indexById_.size()) + 1024) {
            firstId_ = indexById_.front().first;
            indexByIdOffset_.assign(static_cast<size_t>(span), -1);
            for (const auto& [id, index] : indexById_)
                indexByIdOffset_[static_cast<size_t>(id - firstId_)] = index;
        }
    }
    readings_.reserve(VEK_MAX_IMAGES);
    readingStart_.resize(ledIds.size() + 1);
    readingCursor_.resize(ledIds.size());
    readingOrder_.reserve(VEK_MAX_IMAGES);
    fitBody_.reserve(VEK_MAX_MARKERS);
    fitWorld_.reserve(VEK_MAX_MARKERS);
}

int Reconstruction::ledIndex(int ledId) const {
    if (!indexByIdOffset_.empty()) {
        const long long k = static_cast<long long>(ledId) - firstId_;
        return k >= 0 && k < static_cast<long long>(indexByIdOffset_.size())
                   ? indexByIdOffset_[static_cast<size_t>(k)]
                   : -1;
    }
    auto it = std::lower_bound(indexById_.begin(), indexById_.end(), std::make_pair(ledId, -1));
    return it != indexById_.end() && it->first == ledId ? it->second : -1;
}

void Reconstruction::startFrame(const TrackerTable& trackers) {
    readings_.clear();
    for (LedPoint& led : leds_) led = LedPoint{};
    for (const ServerTracker& tracker : trackers.trackers()) {
        if (!tracker.enabled) continue;
        for (const ServerMarker& marker : tracker.markers) {
            const int index = ledIndex(marker.led);
            if (index >= 0 && leds_[index].markerId < 0)
                leds_[index].markerId = vek_marker_id(tracker.id, marker.index);
        }
    }
}

void Reconstruction::finishFrame(int32_t frame, const TrackerTable& trackers, FrameData& out) {
    intersectReadings();
    for (const ServerTracker& tracker : trackers.trackers())
        if (tracker.enabled) reportTracker(frame, tracker, out);
}

void Reconstruction::intersectReadings() {
    if (readings_.empty()) return;  // every LED placed through locate(), or none
    // Group the readings by LED; a counting sort keeps their order in a group.
    std::fill(readingStart_.begin(), readingStart_.end(), 0);
    for (const Reading& r : readings_) readingStart_[r.led + 1] += 1;
    for (size_t i = 1; i < readingStart_.size(); ++i) readingStart_[i] += readingStart_[i - 1];
    std::copy(readingStart_.begin(), readingStart_.end() - 1, readingCursor_.begin());
    readingOrder_.resize(readings_.size());
    for (size_t k = 0; k < readings_.size(); ++k)
        readingOrder_[readingCursor_[readings_[k].led]++] = static_cast<int>(k);

    for (size_t i = 0; i < leds_.size(); ++i) {
        PlaneSums sums;
        int cameras = 0, lastCamera = -1;
        for (int k = readingStart_[i]; k < readingStart_[i + 1]; ++k) {
            const Reading& r = readings_[readingOrder_[k]];
            if (r.camera != lastCamera) ++cameras;
            lastCamera = r.camera;
            sums.add(r.plane);
        }
        locate(static_cast<int>(i), sums, cameras);
    }
}

void Reconstruction::locate(int led, const PlaneSums& planes, int cameras) {
    if (cameras < 2) return;
    double rms = 0;
    LedPoint& point = leds_[led];
    if (planes.solve(point.position, rms)) {
        point.seen = true;
        point.cond = conditionOf(rms);
    }
}

// The tracker's markers (seen or not) and, for a rigid tracker, its pose;
// a found pose fills the unseen markers when the tracker asks for it.
void Reconstruction::reportTracker(int32_t frame, const ServerTracker& tracker, FrameData& out) {
    const size_t first = out.markers.size();
    fitBody_.clear();
    fitWorld_.clear();
    for (const ServerMarker& marker : tracker.markers) {
        if (out.markers.size() >= static_cast<size_t>(VEK_MAX_MARKERS)) break;
        MarkerRecord record{};
        record.id = vek_marker_id(tracker.id, marker.index);
        record.frame = frame;
        const int index = ledIndex(marker.led);
        if (index >= 0 && leds_[index].seen) {
            const LedPoint& led = leds_[index];
            record.x = static_cast<float>(led.position.x);
            record.y = static_cast<float>(led.position.y);
            record.z = static_cast<float>(led.position.z);
            record.cond = static_cast<float>(led.cond);
            if (marker.hasPosition) {
                fitBody_.push_back({marker.pos[0], marker.pos[1], marker.pos[2]});
                fitWorld_.push_back(led.position);
            }
        }
        out.markers.push_back(record);
    }
    if (tracker.type != VEK_RIGID_TRACKER || out.rigids.size() >= static_cast<size_t>(VEK_MAX_RIGIDS)) return;

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
