// The client side of one connection to vekd: handshake, the streams'
// backlogs, synchronous requests, status and the queue of error codes.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "backlog.h"
#include "clock_estimator.h"
#include "veksock.h"
#include "unique_fd.h"
#include "wire.h"

namespace veksock {

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connects within timeoutMs (the connect and the server's welcome),
    // proving the process's lab key (client_key.h) when the server asks.
    int init(const char* server, int flags, int timeoutMs = VEK_TIMEOUT_MS);
    // vekLoadKey: 1, or 0 with VEK_ERR_KEY_FILE pending.
    int loadKey(const char* path);
    void done();

    int status() const { return status_; }
    int takeError();
    // The text for a code (vekGetString), and a message for any code
    // (describeCode); for a protocol error each goes on with ": " and what
    // broke, when the last connection was lost to one.
    std::string errorText(int code) const;
    std::string describe(int code) const;

    int setInteger(int key, int value);
    int getInteger(int key, int& value);
    int setFloat(int key, float value);
    int getFloat(int key, float& value);
    int setScale(float scale);
    int setPose(const float pose[7]);

    // One request that the server answers with 0 or a library error code.
    int request(vekwire::Op op, int target, int key, int value, const float* f = nullptr, int nf = 0);

    // A body-frame position in the caller's units, sent in millimetres.
    int sendPosition(int marker, int key, const float xyz[3]);

    // `stream`: a stream index (VEK_MARKER_STREAM ...).
    int fetch(int stream, void* out, int max);
    int cameras(VEKCamera* out, int max);
    int frameTime(int64_t& us);

    // `serverUs` (a generation time on the server's frame clock) on this
    // host's clock `clock` (CLOCK_MONOTONIC or CLOCK_REALTIME); false when
    // the estimate is not trustworthy (localUs untouched).
    bool localTimeOf(int64_t serverUs, int clock, int64_t& localUs) const;
    // vekGetCaptureTime, vekServerTimeToLocal, vekGetClockEstimate.
    int captureTime(int frame, int clock, int64_t& us);
    int serverTimeToLocal(int64_t serverUs, int clock, int64_t& localUs);
    int clockEstimate(VEKClockEstimate& out);

    // Every call starts here: take in what has arrived, without waiting.
    void drain();

    // For a recorder, which takes every frame whole: each frame goes, as
    // the server sent it (its payload and the decoded view), to `sink`
    // instead of the streams' backlogs. An empty sink restores them.
    using FrameSink = std::function<void(const uint8_t* payload, size_t size, const vekwire::FrameView&)>;
    void setFrameSink(FrameSink sink) { frameSink_ = std::move(sink); }
    // Waits up to waitMs for bytes and takes in what came; false when the
    // connection is gone (the code is pending).
    bool pump(int waitMs) { return connected_ && receive(waitMs); }
    // The server's name, from its welcome, and its camera list as sent
    // (neither waits nor reads: safe inside a frame sink).
    const std::string& serverName() const { return serverName_; }
    const std::vector<VEKCamera>& cameraList() const { return cameras_; }

private:
    void fail(int code);
    void succeed() { status_ = 1; }
    // The connection is gone: `code` is queued; for a protocol error `why`
    // is kept (bounded) until the next init.
    void lose(int code, std::string_view why = {});
    bool sendAll(const std::string& bytes);
    // Reads what is there, waiting at most waitMs; false when the
    // connection was lost.
    bool receive(int waitMs);
    void handle(const vekwire::Message& m);
    // Handles the whole messages already read; false when the connection
    // was lost doing so.
    bool handleBuffered();
    // 0 with `welcome` filled; otherwise why not: timed out, refused (closed
    // before a byte came back) or a protocol error (bytes but no welcome),
    // what broke in `why`. A server with a key answers the Hello with a
    // Challenge first: `key` proves the greeting (null: an empty proof).
    int handshake(const vekwire::Hello& hello, const vekwire::LabKey* key, long long deadlineMs,
                  vekwire::Welcome& welcome, std::string& why);
    // Answers a challenge for the greeting `helloPayload`; false when the
    // challenge is malformed (what is wrong in `why`) or the proof could
    // not be sent.
    bool prove(const vekwire::Message& challenge, const vekwire::LabKey* key, const std::string& helloPayload,
               std::string& why);
    void transform(int stream, void* records, int count) const;
    void transformPose(float pose[7]) const;
    bool identityTransform() const;
    std::string withReason(int code, std::string text) const;
    // The time exchange (time_exchange.cpp): a request sent when one is
    // due, the answers taken in, and the first few right after connecting.
    void startTimeExchange(long long deadlineMs);
    void exchangeTimeIfDue(long long nowUs);
    bool sendTimeRequest(long long nowUs);
    void takeTime(const vekwire::Time& t);
    bool timeReply(const vekwire::Reply& r);  // true when it answered a time request
    void rememberFrameTime(int32_t frame, int64_t generatedUs);

    vekwire::UniqueFd fd_;
    bool connected_ = false;
    uint64_t bytesIn_ = 0;
    long long emptyDrainUs_ = -1;  // when a drain last found nothing
    int status_ = 1;
    std::deque<int> errors_;
    static constexpr size_t kMaxReason = 160;  // bytes of protocolError_
    std::string protocolError_;                // what broke, when a protocol error ended the connection
    vekwire::Reader reader_;
    std::string out_;
    uint32_t nextSeq_ = 1;
    bool awaiting_ = false;
    uint32_t awaitSeq_ = 0;
    vekwire::Reply reply_;
    bool replied_ = false;

    // State mirrored from the server.
    int flags_ = 0;
    uint32_t clientId_ = 0;
    bool sameClock_ = false;  // on a loopback address, and the server says its frame clock is ours

    enum class Exchange { Off, Running, Refused };  // Refused: the server does not know it
    Exchange exchange_ = Exchange::Off;
    ClockEstimator estimator_;
    struct PendingTime {
        uint32_t seq;
        int64_t sentUs;
    };
    std::vector<PendingTime> pendingTimes_;
    long long nextExchangeUs_ = 0;
    uint32_t nextTimeSeq_ = 1;
    long long receivedUs_ = 0;  // when the bytes holding a time answer arrived (steady clock)
    // Generation times of recent frames, at frame number % size.
    std::array<std::pair<int32_t, int64_t>, 2048> frameTimes_{};
    float frequency_ = 0;
    bool streaming_ = false;
    int streams_ = VEK_DEFAULT_STREAMS;  // stream bits switched on
    int interpolation_ = 0;
    int32_t newestFrame_ = 0;
    int64_t newestTimeUs_ = 0;
    uint32_t serverDropped_ = 0;
    // Frame-number gaps the server's dropped count does not explain: frames
    // it did not make. Counted between frames of one stretch of streaming.
    int32_t lastStreamedFrame_ = 0;  // 0: none yet in this stretch
    uint64_t serverSkipped_ = 0;
    std::string serverName_;
    std::vector<VEKCamera> cameras_;
    FrameSink frameSink_;
    std::vector<StreamBacklog> backlogs_;

    // Applied to what is reported: s * (pose applied to the position).
    float scale_ = 1.0f;
    float pose_[7] = {0, 0, 0, 1, 0, 0, 0};
};

// The text for a code, or empty.
std::string codeText(int code);
// A message for any code: codeText's, else a few words ("timed out",
// "code 99" for a code without any).
std::string describeCode(int code);

}  // namespace veksock
