// One connection to vekd for the Python module: a veksock::Session whose
// frames go whole into a FrameQueue, the trackers this program defined
// (their LEDs name the markers), and requests that answer a library code.
// Not thread-safe and free of Python: the module holds a lock around it
// and lets go of the interpreter while it waits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame_queue.h"
#include "frame_rows.h"
#include "session.h"
#include "tracker.h"

namespace vekpy {

class LiveSession {
public:
    // Frames waiting for the program at most (a second at 960 Hz).
    static constexpr size_t kQueueFrames = 1024;

    LiveSession();

    // 0, or the code why not.
    int connect(const std::string& server, bool slave, int timeoutMs);
    void close();
    bool open() const { return open_; }

    // Requests: 0 or the code the server (or a lost connection) answered.
    // A tracker is defined whole or not at all.
    int defineTracker(const vektk::Tracker& tracker);
    int removeTracker(int id);
    int setFrequency(float hz);
    // Stream bits (VEK_MARKER_BIT ...) switched on, the others off.
    int setStreams(int mask);
    int setStreaming(bool on);

    // The next frame into `out`: 1; 0 when none came within waitMs; -1 when
    // the connection is gone and every frame it brought was handed out
    // (lostCode() says why). `newest` skips to the newest frame received.
    int next(FrameRows& out, int waitMs, bool newest);
    int lostCode() const { return lost_; }

    bool hasTracker(int id) const;
    int freeTrackerId() const;  // the lowest id this program has not used
    bool slave() const { return slave_; }
    bool streaming() const { return streaming_; }
    float frequency();
    int clientId() const { return clientId_; }
    bool sameClock() const { return sameClock_; }
    int serverDropped() { return integer(VEK_SERVER_DROPPED); }
    int serverSkipped() { return integer(VEK_SERVER_SKIPPED); }
    uint64_t libraryDropped() const { return queue_.dropped(); }
    const std::string& serverName() const { return session_.serverName(); }
    std::shared_ptr<const std::vector<CameraRow>> cameras();

private:
    void onFrame(const uint8_t* payload, size_t size, const vekwire::FrameView& view);
    // 0, or why no request can go: the connection is lost or closed.
    int usable() const;
    // Takes a failed request's code off the library's queue and answers it;
    // notes a lost connection.
    int failed();
    // Requests through the library (setInteger keeps its stream state).
    int request(vekwire::Op op, int target, int key, int value, const float* f = nullptr, int nf = 0);
    int setInteger(int key, int value);
    int integer(int key);

    veksock::Session session_;
    FrameQueue queue_;
    QueuedFrame taken_;
    bool open_ = false;
    bool slave_ = false;
    bool sameClock_ = false;
    int clientId_ = 0;
    bool streaming_ = false;
    int lost_ = 0;
    bool restarted_ = true;  // no frame came since streaming started
    int32_t lastNumber_ = 0;
    LedMap leds_;
    std::vector<int> trackerIds_;
    std::vector<VEKCamera> cameraRecords_;
    std::shared_ptr<const std::vector<CameraRow>> cameraRows_;
};

}  // namespace vekpy
