// A client that speaks the wire protocol directly, for tests and benchmarks
// that need to behave as no library would: greet with any label, send bad
// bytes, flood, never read.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "lab_key.h"
#include "unique_fd.h"
#include "wire.h"

namespace testsupport {

// What a client saw of the frame stream over a stretch of time.
struct FrameArrivals {
    int frames = 0;
    int firstTenth = 0;     // frames in the first 100 ms
    double longestGap = 0;  // seconds without a frame, the ends included
};

class RawClient {
public:
    explicit RawClient(int port);
    // To `host` (a loopback address), from the address `from` when given.
    RawClient(int port, const std::string& host, const std::string& from = "");
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void close();
    bool connected() const { return connected_; }
    int fd() const { return fd_.get(); }

    void write(const std::string& bytes);

    // Greets the server; answers the welcome's result (-1: no welcome).
    int hello(int flags = 0, const std::string& label = "raw");

    // Greets a server that has a lab key: answers its challenge with a
    // proof made with `key` (null: an empty proof). The welcome's result;
    // -1 when none came. `proof` gets the Proof message as sent.
    int helloWithKey(const vekwire::LabKey* key, int flags = 0, const std::string& label = "raw",
                     std::string* proof = nullptr);

    // One request; answers the reply's code (-1: none came).
    int request(vekwire::Op op, int target, int key, int value, float f = 0);
    // Reads `count` replies of requests sent with write(); false when they
    // did not all come.
    bool replies(int count);

    // Next whole message within timeoutMs; false on close or time-out.
    bool read(vekwire::Kind& kind, std::string& payload, int timeoutMs = 2000);

    // Frame numbers and marker sections of the next `count` frames.
    bool frames(int count, std::vector<int>& numbers, std::map<int, std::string>* markers = nullptr);
    // Reads for `seconds` and says how the frames came.
    FrameArrivals watch(double seconds);

    // Frames passed over while waiting for replies.
    int framesSkipped() const { return framesSkipped_; }

private:
    // Sends a Hello; its payload as sent.
    std::string greet(int flags, const std::string& label);
    // The result of the Welcome that comes next; -1 when none came.
    int welcomeResult();

    vekwire::UniqueFd fd_;
    bool connected_ = false;
    vekwire::Reader reader_;
    uint32_t seq_ = 0;
    int framesSkipped_ = 0;
};

// One request message, as write() sends it.
std::string requestBytes(uint32_t seq, vekwire::Op op, int target, int key, int value, float f = 0);

// A slave that sends requests as fast as the server takes them and reads
// (and discards) everything that comes back, until `stop` is set.
void floodRequests(int port, const std::atomic<bool>& stop);

}  // namespace testsupport
