// Where the server's frames come from: the simulator, or a take played back
// (replay.h). The server asks for one frame per tick of its frame clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame_data.h"
#include "simulator.h"
#include "trackers.h"
#include "vek_types.h"

namespace vekd {

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual const std::vector<VEKCamera>& cameras() const = 0;
    // The next frame, numbered `frame`, at scene time t seconds, for the
    // trackers defined now. False when the source has no frame left; then
    // endMessage() says why.
    virtual bool generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out) = 0;
    virtual std::string endMessage() const { return {}; }
    // Whether the peaks' LED ids are known (FrameData::imageLeds), so that
    // a client may ask for them (VEK_PEAK_LEDS).
    virtual bool knowsPeakLeds() const { return true; }
    // Whether a frame depends on nothing but its number, its time and the
    // trackers, so that frames nobody takes need not be made.
    virtual bool makesFramesOnDemand() const { return false; }
};

class SimulatedFrames final : public FrameSource {
public:
    SimulatedFrames(Scene scene, uint64_t seed) : sim_(std::move(scene), seed) {}
    const std::vector<VEKCamera>& cameras() const override { return sim_.cameras(); }
    bool generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out) override {
        sim_.generate(frame, t, trackers, out);
        return true;
    }
    bool makesFramesOnDemand() const override { return true; }

private:
    Simulator sim_;
};

}  // namespace vekd
