// Markers and rigid poses from detector readings, the one way vekd makes
// them, whether the readings are simulated or played back from a take:
// every LED read by at least two calibrated cameras becomes a point (the
// least-squares intersection of its reading planes), every enabled tracker
// reports its markers, and a rigid tracker the pose fitted to them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "frame_data.h"
#include "sim_camera.h"
#include "sim_triangulation.h"
#include "trackers.h"

namespace vekd {

class Reconstruction {
public:
    // The LEDs readings may name, by id; a reading names an LED by its
    // index in this list.
    explicit Reconstruction(const std::vector<int>& ledIds);

    // Index of the LED with this id, or -1.
    int ledIndex(int ledId) const;
    size_t ledCount() const { return leds_.size(); }

    // Starts a frame: no readings, no points; each LED takes the marker id
    // of the first enabled tracker (in creation order) that holds it.
    void startFrame(const TrackerTable& trackers);
    // The marker id a peak of LED `led` carries this frame, or -1.
    int markerId(int led) const { return leds_[led].markerId; }
    // One reading of a calibrated camera. Readings of one LED are used in
    // the order they were added.
    void addReading(int led, int camera, const Plane& plane) { readings_.push_back({led, camera, plane}); }
    // Places LED `led` this frame at the intersection of its reading planes
    // (of `cameras` calibrated cameras, at least two), for readings not
    // given through addReading.
    void locate(int led, const PlaneSums& planes, int cameras);
    // Intersects the readings and appends the markers of every enabled
    // tracker (seen or not, within the stream's limit) and the rigid poses
    // to `out`; a found pose fills the unseen markers when the tracker asks.
    void finishFrame(int32_t frame, const TrackerTable& trackers, FrameData& out);

private:
    struct LedPoint {
        int markerId = -1;
        bool seen = false;
        Vec3 position;
        double cond = 0;
    };
    struct Reading {
        int led = 0;
        int camera = 0;
        Plane plane;
    };

    void intersectReadings();
    void reportTracker(int32_t frame, const ServerTracker& tracker, FrameData& out);

    std::vector<std::pair<int, int>> indexById_;  // (LED id, index), sorted
    // When the ids lie close together: the index of id firstId_ + k at k
    // (-1 for no LED), looked up without a search.
    int firstId_ = 0;
    std::vector<int> indexByIdOffset_;
    std::vector<LedPoint> leds_;

    // Per-frame work space, kept to avoid allocations.
    std::vector<Reading> readings_;
    std::vector<int> readingStart_;  // LED i's readings: readingOrder_[start[i] .. start[i + 1])
    std::vector<int> readingCursor_;
    std::vector<int> readingOrder_;
    std::vector<Vec3> fitBody_;
    std::vector<Vec3> fitWorld_;
};

}  // namespace vekd
