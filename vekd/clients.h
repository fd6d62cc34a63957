// The connected clients as the loop sees them: the listening socket and
// accepting (resting while descriptors run out), what goes to a client and
// what it sends, and a client's end with what it takes along (a master's
// trackers).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "client_conn.h"
#include "poller.h"
#include "repeated_line.h"
#include "simulated_link.h"
#include "trackers.h"

namespace vekd {

class Clients {
public:
    Clients(Poller& poller, TrackerTable& trackers, size_t queueBytes, LinkDelay link = {});

    // Listens on host:port (0: a free port); false with a message.
    bool listen(const std::string& host, int port, std::string& error);
    int listenFd() const { return listen_.get(); }
    int port() const { return port_; }

    // Takes every connection waiting.
    void accept();
    // Feeds what the client sent into its reader: one read, so that no
    // client holds the loop. False when nothing came or the client is gone.
    bool receive(ClientConn& c);
    // On a simulated slow link: hands on what is due by `nowUs`, the bytes
    // sent to the socket, the bytes received to `fed` (their readers now
    // hold them); the earliest release still held, or -1.
    long long release(long long nowUs, std::vector<ClientConn*>& fed);
    // Sends a message that is never dropped; false when the client was
    // dropped doing so.
    bool post(ClientConn& c, const std::string& message);
    // Sends a frame, or drops it for a client whose queue is full.
    void postFrame(ClientConn& c, const iovec* parts, int count, size_t total);
    // The socket takes more of the queue.
    void flush(ClientConn& c);
    // Wakes the loop for the client's queue while it holds bytes.
    void watchWrites(ClientConn& c);
    void drop(ClientConn& c, const char* why);
    // Forgets the clients dropped.
    void removeClosed();
    // Once per turn of the loop: ends clients that never greeted, forgets
    // the dropped ones, lets the listening socket accept again after a rest.
    void tidy(long long nowMs);
    // Tells the accept failures counted; dueMs() says when there are some
    // to tell, or when accepting resumes (-1: nothing due).
    void logRepeats(long long nowMs);
    long long dueMs() const;
    // Says goodbye to every client and drops it.
    void stopAll();

    // The client of that id still connected, or null.
    ClientConn* find(uint32_t id);
    const std::vector<std::unique_ptr<ClientConn>>& all() const { return clients_; }
    // When the next held bytes are due, microseconds (-1: none).
    long long releaseDueUs() const { return nextReleaseUs_; }
    // Whether any admitted client takes frames.
    bool anyStreaming() const;

private:
    void pauseAccepting(int err);
    // Holds a message for the client on a simulated slow link.
    void hold(ClientConn& c, const iovec* parts, int count);

    Poller& poller_;
    TrackerTable& trackers_;
    size_t queueBytes_;
    LinkDelay link_;
    long long nextReleaseUs_ = -1;
    vekwire::UniqueFd listen_;
    int port_ = 0;
    long long acceptResumeMs_ = -1;  // the listening socket rests until then
    RepeatedLine acceptFailures_{10000};
    std::vector<std::unique_ptr<ClientConn>> clients_;
    uint32_t nextId_ = 1;
};

}  // namespace vekd
