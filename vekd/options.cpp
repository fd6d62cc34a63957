#include "options.h"

#include <arpa/inet.h>

#include "vek_types.h"

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace vekd {

namespace {

bool toLong(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool toDouble(const std::string& s, double lo, double hi, double& out) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (errno || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
    out = v;
    return true;
}

// MS or MS:JITTER_MS, the jitter at most the delay.
bool toLinkDelay(const std::string& s, Options& o) {
    const size_t colon = s.find(':');
    double jitter = 0;
    if (!toDouble(s.substr(0, colon), 0, kMaxLinkDelayMs, o.linkDelayMs)) return false;
    if (colon != std::string::npos && !toDouble(s.substr(colon + 1), 0, o.linkDelayMs, jitter)) return false;
    o.linkJitterMs = jitter;
    return true;
}

}  // namespace

bool beyondLoopback(const std::string& host) {
    in_addr a{};
    return inet_pton(AF_INET, host.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) != 127;
}

bool validFrequency(float hz) {
    return hz == 0 || (std::isfinite(hz) && hz >= kMinFrequency && hz <= kMaxFrequency);
}

std::string usageText() {
    return "usage: vekd [options]\n"
           "  --port N            TCP port (default 8998, 0 picks a free one)\n"
           "  --bind ADDRESS      address to listen on (default 127.0.0.1)\n"
           "  --discovery-port N  UDP discovery port (default 8999, 0 picks a free one,\n"
           "                      -1 turns discovery off)\n"
           "  --freq HZ           frame frequency at start: 0 (stopped) or 0.001 to 960\n"
           "                      (default 100)\n"
           "  --seed N            noise seed (default 1)\n"
           "  --name NAME         server name shown to discovery (default vekd)\n"
           "  --scene FILE        scene file (default: the built-in scene)\n"
           "  --uncalibrated LIST cameras to report as not calibrated, numbered from 1 as\n"
           "                      the windows show them, e.g. 3,6\n"
           "  --max-clients N     clients served at once (default 16)\n"
           "  --queue-bytes N     per-client send queue before frames are dropped\n"
           "                      for that client (default 4194304)\n"
           "  --replay FILE       serve a take recorded by vekrec instead of the simulation,\n"
           "                      at the rate it was recorded at (--freq changes it)\n"
           "  --loop              with --replay: start the take again at its end\n"
           "                      (else vekd stops there)\n"
           "  --key-file FILE     admit only clients that prove they hold this lab key\n"
           "                      (a file of mode 0600); needed beyond loopback\n"
           "  --observers-without-key  with --key-file: slaves may watch without the key\n"
           "                      (they never change anything)\n"
           "  --no-key            listen beyond loopback without a key: anyone who reaches\n"
           "                      the port may control the server\n"
           "  --make-key FILE     write a new random lab key to FILE (mode 0600, never\n"
           "                      over an existing file) and stop\n"
           "  --clock-offset SECONDS  run the frame clock this far ahead (negative: behind)\n"
           "                      of this host's steady clock, at most 864000 either way\n"
           "  --clock-drift PPM   let the frame clock gain (negative: lose) this many\n"
           "                      microseconds a second, at most 1000 either way\n"
           "  --link-delay MS[:JITTER_MS]  hold everything received and everything sent\n"
           "                      for MS milliseconds (at most 1000), each message within\n"
           "                      JITTER_MS of it (at most MS), in order; --seed repeats it\n"
           "                      With any of these three, clients are told that frame\n"
           "                      times are not this machine's clock, even on loopback.\n"
           "  -h, --help          show this text\n"
           "Clients find the key through vekLoadKey, VEK_KEY_FILE or ~/.config/vek/key\n"
           "(docs/security.md).\n";
}

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    bool simulationOption = false;  // --scene, --seed, --uncalibrated
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
            continue;
        }
        if (a == "--loop" || a == "--no-key" || a == "--observers-without-key") {
            (a == "--loop" ? o.loop : a == "--no-key" ? o.noKey : o.observersWithoutKey) = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "unknown option or missing value: " + a;
            return false;
        }
        const std::string v = argv[++i];
        long long n = 0;
        bool ok = true;
        if (a == "--port") {
            ok = toLong(v, 0, 65535, n);
            o.port = static_cast<int>(n);
        } else if (a == "--bind") {
            o.bind = v;
        } else if (a == "--discovery-port") {
            ok = toLong(v, -1, 65535, n);
            o.discoveryPort = static_cast<int>(n);
        } else if (a == "--freq") {
            char* end = nullptr;
            errno = 0;  // an underflow to 0 is not a request to stop
            const float f = std::strtof(v.c_str(), &end);
            ok = !v.empty() && *end == '\0' && errno == 0 && validFrequency(f);
            o.frequency = f;
            o.frequencySet = true;
        } else if (a == "--seed") {
            ok = toLong(v, 0, INT64_MAX, n);
            o.seed = static_cast<uint64_t>(n);
            simulationOption = true;
        } else if (a == "--name") {
            ok = !v.empty() && v.size() <= 64 && v.find("  ") == std::string::npos;
            o.name = v;
            o.nameSet = true;
        } else if (a == "--scene") {
            o.sceneFile = v;
            simulationOption = true;
        } else if (a == "--replay") {
            ok = !v.empty();
            o.replayFile = v;
        } else if (a == "--uncalibrated") {
            simulationOption = true;
            size_t start = 0;
            while (ok && start <= v.size()) {
                const size_t comma = v.find(',', start);
                ok = toLong(v.substr(start, comma - start), 1, VEK_MAX_CAMERAS, n);
                o.uncalibrated.push_back(static_cast<int>(n));
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (a == "--max-clients") {
            ok = toLong(v, 1, 256, n);
            o.maxClients = static_cast<int>(n);
        } else if (a == "--key-file" || a == "--make-key") {
            ok = !v.empty();
            (a == "--key-file" ? o.keyFile : o.makeKey) = v;
        } else if (a == "--clock-offset") {
            ok = toDouble(v, -kMaxClockOffsetS, kMaxClockOffsetS, o.clockOffsetS);
        } else if (a == "--clock-drift") {
            ok = toDouble(v, -kMaxClockDriftPpm, kMaxClockDriftPpm, o.clockDriftPpm);
        } else if (a == "--link-delay") {
            ok = toLinkDelay(v, o);
        } else if (a == "--queue-bytes") {
            ok = toLong(v, 64 * 1024, 1LL << 30, n);
            o.queueBytes = static_cast<size_t>(n);
        } else {
            error = "unknown option: " + a;
            return false;
        }
        if (!ok) {
            error = "invalid value for " + a + ": " + v;
            return false;
        }
    }
    if (!o.replayFile.empty() && simulationOption) {
        error = "--scene, --seed and --uncalibrated are for the simulation, not for --replay";
        return false;
    }
    if (o.loop && o.replayFile.empty()) {
        error = "--loop goes with --replay";
        return false;
    }
    if (!o.makeKey.empty() && argc != 3) {
        error = "--make-key FILE goes alone";
        return false;
    }
    if (o.noKey && !o.keyFile.empty()) {
        error = "--no-key and --key-file contradict each other";
        return false;
    }
    if (o.observersWithoutKey && o.keyFile.empty()) {
        error = "--observers-without-key goes with --key-file";
        return false;
    }
    if (o.keyFile.empty() && !o.noKey && beyondLoopback(o.bind)) {
        error = "refusing to listen on " + o.bind +
                " without a lab key: anyone who reaches it could control the server. Give --key-file FILE "
                "(vekd --make-key FILE makes one), or --no-key to do without";
        return false;
    }
    return true;
}

}  // namespace vekd
