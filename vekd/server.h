// vekd's event loop: one thread, epoll over the listening socket, the
// discovery socket, the frame timer, the stop signals and the clients.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "client_conn.h"
#include "frame_source.h"
#include "options.h"
#include "rate_watch.h"
#include "repeated_line.h"
#include "trackers.h"

namespace vekd {

class Server {
public:
    Server(Options options, std::unique_ptr<FrameSource> source);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the sockets and prints the start line; false with a message.
    bool start(std::string& error);
    // Serves until SIGINT or SIGTERM, or until the source has no frame
    // left; answers the exit status.
    int run();

private:
    void accept();
    void pauseAccepting(int err);
    // One read per turn of the loop, so that no client holds the loop; the
    // answers to what it held go out together in `out`.
    void readClient(ClientConn& c);
    void handle(ClientConn& c, const vekwire::Message& m, std::string& out);
    void admit(ClientConn& c, const vekwire::Hello& hello, std::string& out);
    void serve(ClientConn& c, const vekwire::Request& r, std::string& out);
    int setInteger(ClientConn& c, int key, int value);
    int setFrequency(ClientConn& c, float hz);
    // Sends a message that is never dropped; false when the client was
    // closed doing so.
    bool post(ClientConn& c, const std::string& message);
    void drop(ClientConn& c, const char* why);
    void removeClosed();
    void watchWrites(ClientConn& c);
    void tidy();  // once per turn of the loop
    void logRepeats(long long nowMs);
    int waitMs() const;  // how long the loop may sleep

    void onTimer();
    // A schedule that fell more than kStallUs behind (the process was
    // stopped, the machine was busy) skips the frames it missed but the one
    // due now: numbered and timed as if made, never made, and counted. A
    // take is served whole instead: after a stall it goes on where it was.
    void skipStalledFrames(long long nowUs);
    void schedule();
    void armTimer(long long atUs);  // steady-clock microseconds; < 0 stops
    // Whether frames need not be made now: nobody streams, and the source
    // can make any frame later from its number and time.
    bool idle() const;
    // Frame numbers and scene time follow the clock while nobody streams:
    // counts every frame due by now as passed, without making it.
    void passDueFrames();
    void passFrame();
    void generateFrame();
    void answerDiscovery();
    void stopAll();

    Options options_;
    std::unique_ptr<FrameSource> source_;
    bool sourceEnded_ = false;
    TrackerTable trackers_;
    FrameData frame_;
    std::string sections_[vekwire::kStreamCount];
    std::string peakLedSection_;  // the image section with LED ids (VEK_PEAK_LEDS)
    std::vector<ImageRecord> peakLedScratch_;

    vekwire::UniqueFd epoll_, listen_, udp_, timer_, signals_;
    int port_ = 0, discoveryPort_ = 0;
    long long acceptResumeMs_ = -1;  // the listening socket rests until then
    RepeatedLine acceptFailures_{10000};
    RepeatedLine frequencyChanges_{1000};
    RepeatedLine skippedFrames_{1000};
    long long framesSkipped_ = 0;  // frames not made in time, told at the end
    std::vector<std::unique_ptr<ClientConn>> clients_;
    uint32_t nextClientId_ = 1;

    float frequency_ = 0;
    int32_t frameNumber_ = 0;
    double sceneTime_ = 0;
    long long scheduleStartUs_ = 0;  // frames are due at start + k / frequency
    long long framesScheduled_ = 0;
    long long lastFrameUs_ = -1;
    bool resting_ = false;  // the frame timer rests while nobody streams
    RateWatch rate_;
};

}  // namespace vekd
