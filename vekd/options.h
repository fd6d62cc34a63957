// vekd's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vekd {

struct Options {
    std::string bind = "127.0.0.1";
    int port = 8998;
    int discoveryPort = 8999;  // 0 picks an ephemeral port, -1 turns discovery off
    uint64_t seed = 1;
    float frequency = 100.0f;
    std::string name = "vekd";
    std::string sceneFile;
    std::vector<int> uncalibrated;  // camera numbers, from 1 (as every window counts)
    int maxClients = 16;
    size_t queueBytes = 4 << 20;  // per client, beyond it frames are dropped for it
    std::string replayFile;       // serve this take instead of the simulation
    bool loop = false;            // start the take again at its end
    bool frequencySet = false;    // --freq given (a replay otherwise runs at the take's rate)
    bool nameSet = false;
    bool help = false;
    std::string keyFile;               // the lab key every client must prove (--key-file)
    bool noKey = false;                // beyond loopback without a key, said explicitly
    bool observersWithoutKey = false;  // slaves may watch without the key
    std::string makeKey;               // write a new key file there and stop
    // A server on another machine, simulated (simulated_link.h).
    double clockOffsetS = 0;  // the frame clock ahead of the steady clock
    double clockDriftPpm = 0;
    double linkDelayMs = 0;  // one way, each way
    double linkJitterMs = 0;
    // Frame times are not this host's steady clock as a client sees it.
    bool clockElsewhere() const { return clockOffsetS != 0 || clockDriftPpm != 0 || linkDelayMs != 0; }
};

// Ranges of the simulated clock and link.
constexpr double kMaxClockOffsetS = 864000;  // ten days
constexpr double kMaxClockDriftPpm = 1000;
constexpr double kMaxLinkDelayMs = 1000;

// True for a dotted IPv4 address outside 127.0.0.0/8.
bool beyondLoopback(const std::string& host);

// Frame frequencies vekd runs at: 0 (stopped), or kMinFrequency to
// kMaxFrequency Hz. Below the minimum a frame period no longer fits the
// frame timer and scene time would leap out of reach.
constexpr float kMinFrequency = 0.001f;
constexpr float kMaxFrequency = 960.0f;
bool validFrequency(float hz);

// False with a message in `error` on a bad command line.
bool parseOptions(int argc, char** argv, Options& out, std::string& error);
std::string usageText();

}  // namespace vekd
