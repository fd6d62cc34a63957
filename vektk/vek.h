// The session with a vekd server: connects, keeps the trackers on the
// server, and assembles the library's separate streams into complete frames.
#pragma once

#include <veksock.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "frame_set.h"
#include "record_fetch.h"
#include "tracker.h"

namespace vektk {

struct ConnectionSettings {
    ConnectionSettings() = default;
    ConnectionSettings(std::string server, float freq) : server(std::move(server)), freq(freq) {}

    std::string server;   // host name or address for vekInit
    float freq = 0;       // streaming frequency to request
    int flags = 0;        // init flags: 1 slave, 0x100..0x400 mode 1-4, 0x10 post processing
    int interpolate = 0;  // sent only when > 0
};

// Contexts of VEK::ErrorText.
constexpr int kErrorContextGeneral = 0;   // 1 gives the same texts
constexpr int kErrorContextLine = 256;    // one-line connection error
constexpr int kErrorContextDialog = 257;  // multi-line text of a dialog

class VEK {
public:
    explicit VEK(float scale);
    virtual ~VEK();
    VEK(const VEK&) = delete;
    VEK& operator=(const VEK&) = delete;

    // Negative: the vekInit error code; -1: the server reported a failure
    // after set-up; otherwise vekInit's result.
    int Connect(const ConnectionSettings& settings, bool startStreaming, bool setFrequency);
    void Done();
    // 1: a new complete frame; 0: nothing new or not connected; -1: the
    // session ended (lastError holds the code). A request the server
    // refused (invalid value, enum or operation) does not end the session:
    // its code stays in lastError until the host has reported it and
    // cleared it.
    int Poll();
    // Discards what is queued, including a half-assembled frame, whose
    // remaining streams are then dropped too.
    void Flush();
    // 1 set; 0 refused or unchanged; otherwise the library error code.
    int SetFrequency(float hz);

    void CreateTrackers();
    // Defines one tracker on the server (its positions in file units).
    void CreateTracker(Tracker& tracker);
    // Destroys on the server every tracker whose id differs from keepId
    // (-1 keeps none).
    void DestroyTrackers(int keepId);
    // 1 removed, 0 not found.
    int RemoveTracker(int id);
    Tracker* FindTracker(int id);

    static std::string ErrorText(const std::string& host, int code, int context);

    bool connected = false;
    float frequency = 0;  // last read back from the server
    int flags = 0;        // init flags of the last connect
    float scale;
    std::array<float, 7> pose{0, 0, 0, 1, 0, 0, 0};
    int lastFrame = 0;
    int lastError = 0;
    std::vector<Tracker> trackers;
    // The last complete frame.
    std::vector<MarkerRecord> markers;
    std::vector<RigidRecord> rigids;
    std::vector<ImageRecord> images;
    std::vector<DetectorRecord> detectors;
    std::vector<VEKCamera> cameras;
    std::unique_ptr<FrameSet> pending;

protected:
    // Collects what the library has; 1 when a frame became complete.
    virtual int AssembleFrame();

    int FetchMarkers(std::vector<MarkerRecord>& out);
    int FetchRigids(std::vector<RigidRecord>& out);
    int FetchImages(std::vector<ImageRecord>& out);
    int FetchDetectors(std::vector<DetectorRecord>& out);
    // A failed fetch keeps the camera list.
    int FetchCameras(std::vector<VEKCamera>& out);

private:
    bool Slave() const { return (flags & VEK_SLAVE) != 0; }
    int EnabledStreams() const;
    // False while the stream is paused (VEK_STREAMING off).
    bool Streaming() const;
    int CurrentFrame() const;
    void FetchStreams(int enabled, FrameSet& next);
    // True for records of a frame that was already delivered or discarded.
    bool IsStale(int frame) const { return frame <= consumedFrame_; }
    // Hands fetched records of one stream to pending or, when they belong
    // to a later frame, to `next`.
    template <typename Record>
    void Route(std::vector<Record>& fetched, std::vector<Record>& pendingList, std::vector<Record>& nextList,
               int bit, FrameSet& next);
    void ResetFrames();

    int consumedFrame_ = -1;  // newest frame delivered or discarded by Flush
    FrameSet next_;           // records of the frame after pending
    FrameSet fetched_;        // what the last fetches returned
    alignas(8) std::array<unsigned char, kFetchBufferBytes> fetchBuffer_{};
};

}  // namespace vektk
