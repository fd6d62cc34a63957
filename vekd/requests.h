// What clients ask: the greeting and its answer (admitted as master or
// slave, or refused; with a lab key, after a challenge and its proof:
// greeting.cpp), the stream settings, the frequency and the trackers. The
// answers to what one read held go out together.
#pragma once

#include <string>

#include "client_conn.h"
#include "clients.h"
#include "failed_attempts.h"
#include "frame_clock.h"
#include "frame_source.h"
#include "lab_key.h"
#include "options.h"
#include "simulated_link.h"
#include "trackers.h"

namespace vekd {

class Requests {
public:
    Requests(const Options& options, const FrameSource& source, TrackerTable& trackers, Clients& clients,
             FrameClock& clock, const vekwire::LabKey& key, FailedAttempts& attempts, const ServerTime& time);

    // Reads the client once and answers every whole message it held.
    void read(ClientConn& c);
    // Answers every whole message the client's reader holds.
    void answer(ClientConn& c);

private:
    void handle(ClientConn& c, const vekwire::Message& m, std::string& out);
    // Before admission: the Hello, then with a key the Proof.
    void greet(ClientConn& c, const vekwire::Message& m, std::string& out);
    void checkProof(ClientConn& c, const vekwire::Proof& proof, std::string& out);
    void notAuthorised(ClientConn& c, const char* why, std::string& out);
    void admit(ClientConn& c, std::string& out);
    // A Welcome with the refusal `code`; the connection closes once it is sent.
    void refuse(ClientConn& c, int code, const char* why, std::string& out);
    void serve(ClientConn& c, const vekwire::Request& r, std::string& out);
    int setInteger(ClientConn& c, int key, int value);
    int setFrequency(ClientConn& c, float hz);
    // A time request: its receipt and this answer on the frame clock.
    void answerTime(const vekwire::Request& r, long long receivedUs, std::string& out);

    const Options& options_;
    const FrameSource& source_;
    TrackerTable& trackers_;
    Clients& clients_;
    FrameClock& clock_;
    const vekwire::LabKey& key_;
    FailedAttempts& attempts_;
    const ServerTime& time_;
};

}  // namespace vekd
