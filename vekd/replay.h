// A take played back as the server's frames: its cameras, and one recorded
// frame per tick. Peaks and detector records are served as recorded; when
// the peaks carry LED ids, markers and rigid poses are rebuilt from them
// for the trackers defined now, through the same reconstruction as the
// simulator's, so trackers made on a replay get markers. Otherwise the
// recorded markers and rigids are served as they were. A take recorded in a
// z-up world is served turned to the y-up world. Frame numbers are the
// server's own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "frame_source.h"
#include "reconstruction.h"
#include "sim_camera.h"
#include "take_file.h"

namespace vekd {

class ReplayFrames final : public FrameSource {
public:
    // Reads the whole take once to check it, then plays it from the same
    // descriptor. Null with a message that says where the take went wrong
    // (byte and frame) when it cannot be played, or why the path is no
    // regular file; a take cut short plays up to its last whole frame and
    // `note` says so. A take rewritten in place while it plays stops the
    // replay (endMessage() says so).
    static std::unique_ptr<ReplayFrames> open(const std::string& path, bool loop, std::string& error,
                                              std::string& note);

    const std::vector<VEKCamera>& cameras() const override { return cameras_; }
    bool generate(int32_t frame, double t, const TrackerTable& trackers, FrameData& out) override;
    std::string endMessage() const override { return endMessage_; }
    bool knowsPeakLeds() const override { return rebuilds_; }

    const vektake::Summary& summary() const { return summary_; }

private:
    ReplayFrames(vektake::TakeFile file, vektake::Summary summary, bool loop);
    bool unchanged(const vektake::Item& item) const;
    // The next recorded frame, rewinding at the end of a take that loops.
    bool nextFrame(vektake::Item& item);
    void servePeaks(int32_t frame, const vekwire::FrameView& f, FrameData& out);

    vektake::Summary summary_;
    bool loop_;
    bool rebuilds_;  // peaks carry LED ids: markers are rebuilt from them
    bool zUp_;       // recorded in a z-up world: cameras, markers and poses are turned
    vektake::TakeFile file_;
    std::vector<VEKCamera> cameras_;
    std::vector<CameraModel> calibration_;
    Reconstruction reconstruction_;  // LED index i is summary_.leds[i]
    uint64_t served_ = 0;
    std::string endMessage_;
};

}  // namespace vekd
