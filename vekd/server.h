// vekd's event loop: one thread, epoll over the listening socket, the
// discovery socket, the frame clock's timer, the stop signals and the
// clients; each wakes the part it belongs to.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "clients.h"
#include "discovery.h"
#include "failed_attempts.h"
#include "frame_clock.h"
#include "frame_source.h"
#include "lab_key.h"
#include "options.h"
#include "poller.h"
#include "requests.h"
#include "trackers.h"

namespace vekd {

class Server {
public:
    // With a key, every client must prove it holds the key (slaves may
    // watch without it when the options say so); without, everyone who
    // greets is admitted.
    Server(Options options, std::unique_ptr<FrameSource> source, vekwire::LabKey key = {});
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the sockets and prints the start line; false with a message.
    bool start(std::string& error);
    // Serves until SIGINT or SIGTERM, or until the source has no frame
    // left; answers the exit status.
    int run();

private:
    bool watchSignals();
    void tidy();  // once per turn of the loop
    void logRepeats(long long nowMs);
    long long waitUs() const;         // how long the loop may sleep
    std::string description() const;  // what discovery tells of this server
    void stopAll();

    Options options_;
    std::unique_ptr<FrameSource> source_;
    vekwire::LabKey key_;
    FailedAttempts attempts_;
    TrackerTable trackers_;
    Poller poller_;
    ServerTime time_;
    Clients clients_;
    FrameClock clock_;
    Requests requests_;
    DiscoveryResponder discovery_;
    vekwire::UniqueFd signals_;
    std::vector<ClientConn*> fed_;  // clients whose held bytes came in this turn
};

}  // namespace vekd
