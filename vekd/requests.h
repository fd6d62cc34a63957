// What clients ask: the greeting and its answer (admitted as master or
// slave, or refused), the stream settings, the frequency and the trackers.
// The answers to what one read held go out together.
#pragma once

#include <string>

#include "client_conn.h"
#include "clients.h"
#include "frame_clock.h"
#include "frame_source.h"
#include "options.h"
#include "trackers.h"

namespace vekd {

class Requests {
public:
    Requests(const Options& options, const FrameSource& source, TrackerTable& trackers, Clients& clients,
             FrameClock& clock);

    // Reads the client once and answers every whole message it held.
    void read(ClientConn& c);

private:
    void handle(ClientConn& c, const vekwire::Message& m, std::string& out);
    void admit(ClientConn& c, const vekwire::Hello& hello, std::string& out);
    void serve(ClientConn& c, const vekwire::Request& r, std::string& out);
    int setInteger(ClientConn& c, int key, int value);
    int setFrequency(ClientConn& c, float hz);

    const Options& options_;
    const FrameSource& source_;
    TrackerTable& trackers_;
    Clients& clients_;
    FrameClock& clock_;
};

}  // namespace vekd
