#include "program.h"

#include "atomic_file.h"
#include "capture_loop.h"
#include "config.h"
#include "options.h"
#include "output.h"
#include "point_file.h"
#include "trackers.h"

#include <capture.h>
#include <veksock.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

namespace snapwell {

namespace {

constexpr int kMaxMarkersPerTracker = VEK_MARKERS_PER_TRACKER;

struct SessionGuard {
    ~SessionGuard() { vekDone(); }
};

bool validCount(int n) { return n > 0 && n <= kMaxMarkersPerTracker; }

void takeServerFromEnvironment(Options& o) {
    char version[VEK_STRING_SIZE] = {};
    if (vekGetString(VEK_VERSION, version) < 1) return;
    std::cout << "version: " << version << '\n';
    if (!o.server && std::strstr(version, "SOCKET")) {
        if (const char* env = std::getenv("VEK_SERVER")) o.server = env;
    }
}

void reportInitFailure(const Options& o) {
    const int code = vekGetError();
    if (code == 0) return;
    if (code == VEK_ERR_REFUSED) {
        std::cerr << "Is vekd running on " << o.server.value_or("") << "?" << std::endl;
    } else if (code < 0) {
        std::cerr << "vekInit error: " << -code << ": check server messages." << std::endl;
    } else {
        char text[VEK_STRING_SIZE] = {};
        if (vekGetString(code, text) >= 1)
            std::cerr << "vekInit: " << text << std::endl;
        else
            std::cout << "error: 0x" << std::hex << code << std::dec << "  " << std::endl;
    }
}

// Reads ".vek_paint" and sets up the session's pose, scale and streaming.
bool configureSession() {
    const auto path = configPath(std::getenv("HOME"));
    if (const auto* tooLong = std::get_if<ConfigPathTooLong>(&path)) {
        std::cerr << "error: check failed: snprintf(path, " << kConfigPathSize << ", \"%s/%s\", HOME, \""
                  << kConfigFileName << "\") needs " << tooLong->needed << " bytes" << std::endl;
        return false;
    }
    const std::string& file = std::get<std::string>(path);
    numerics::Pose pose = numerics::kIdentityPose;
    switch (readConfigPose(file, pose)) {
        case ConfigStatus::ReadError:
            std::cerr << "error reading config file " << file << std::endl;
            return false;
        case ConfigStatus::Incomplete:
            std::cerr << "warning: config file " << file
                      << " does not hold 7 numbers; using the identity pose" << std::endl;
            break;
        case ConfigStatus::Read:
        case ConfigStatus::Missing:
            break;
    }
    vekLoadPose(pose.data());
    vekScale(1.0f);
    vekSetInteger(VEK_STREAMING, VEK_ON);
    vekSetFloat(VEK_FREQUENCY, 5.0f);
    return true;
}

// Count trackers first, then file trackers; false (message printed) when a
// point file fails or holds no usable marker.
bool planTrackers(const Options& o, std::vector<TrackerLeds>& trackers) {
    for (const int n : o.pointCounts) trackers.push_back(firstLeds(n));
    for (const std::string& path : o.pointFiles) {
        TrackerLeds leds;
        if (!readPointFile(path, leds, std::cerr)) return false;
        if (leds.empty() || leds.size() > kMaxMarkersPerTracker) {
            std::cerr << "error: " << path << " holds " << leds.size() << " markers; a tracker needs 1 to "
                      << kMaxMarkersPerTracker << std::endl;
            return false;
        }
        trackers.push_back(std::move(leds));
    }
    return true;
}

int writeResult(const Options& o, const numerics::CaptureState& capture,
                const std::vector<MarkerRecord>& markers) {
    std::cout << '\n';
    if (!o.output) {
        writeBody(std::cout, capture.records(), markers, o.frames, o.global);
        return kExitSuccess;
    }
    std::ostringstream body;
    writeBody(body, capture.records(), markers, o.frames, o.global);
    const vektk::AtomicWriteResult written = vektk::WriteFileAtomically(*o.output, body.str());
    if (written.status == vektk::AtomicWriteStatus::Written) {
        std::cout << "wrote to " << *o.output << std::endl;
        return kExitSuccess;
    }
    if (written.status == vektk::AtomicWriteStatus::OpenFailed)
        std::cerr << "error: unable to open " << *o.output << ": " << std::strerror(written.error)
                  << std::endl;
    else
        std::cerr << "error: unable to write " << *o.output << ": " << std::strerror(written.error)
                  << std::endl;
    writeBody(std::cout, capture.records(), markers, o.frames, o.global);
    return kExitFailure;
}

int capture(const Options& o) {
    std::vector<TrackerLeds> trackers;
    if (!configureSession() || !planTrackers(o, trackers)) return kExitFailure;
    const int total = defineTrackers(trackers, std::cout);
    std::cout << "markers=" << total << '\n';
    vekGetStatus();
    std::cout << "\n\n";

    numerics::CaptureState state(o.global);
    state.addMarkers(static_cast<std::size_t>(total));
    std::vector<MarkerRecord> markers(static_cast<std::size_t>(total));
    CaptureQuality quality(markers.size());
    const LoopResult result = runCaptureLoop(state, quality, markers, o, std::cout, std::cerr);
    if (result.end != LoopEnd::Settled) return kExitFailure;
    // An empty or degenerate capture is never written, nor reported as done.
    if (const std::string why =
            unusableBody(state.records(), o.frames, quality.meanSpread(state.records(), o.frames));
        !why.empty()) {
        std::cout << '\n';
        std::cerr << "error: " << why << "; nothing written" << std::endl;
        return kExitFailure;
    }
    const int status = writeResult(o, state, markers);
    // The report follows the body. When the body went to standard output
    // the report goes to standard error, so that a redirected body stays a
    // valid rigid body file.
    std::vector<int> leds;
    for (const TrackerLeds& t : trackers) leds.insert(leds.end(), t.begin(), t.end());
    quality.print(status == kExitSuccess && o.output ? std::cout : std::cerr, state.records(), leds,
                  o.frames);
    return status;
}

}  // namespace

int runSnapwell(int argc, const char* const* argv) {
    ParseResult parsed = parseOptions(argc, argv);
    Options& o = parsed.options;
    if (parsed.action != ParseAction::Run) {
        printUsage(std::cout, argv[0]);
        if (parsed.action == ParseAction::Usage) return kExitFailure;
        printHelp(std::cout);
        return kExitSuccess;
    }
    std::cout << std::fixed;
    if (o.pointCounts.empty() && o.pointFiles.empty()) {
        printUsage(std::cout, argv[0]);
        return kExitFailure;
    }
    if (o.frames < 10 || o.frames > 100) {
        std::cerr << "error:  invalid frame count (" << o.frames << ")" << std::endl;
        return kExitFailure;
    }
    for (const int n : o.pointCounts) {
        if (!validCount(n)) {
            std::cerr << "error: invalid point count (" << n << "); a tracker needs 1 to "
                      << kMaxMarkersPerTracker << " markers" << std::endl;
            return kExitFailure;
        }
    }

    takeServerFromEnvironment(o);
    if (o.keyFile && vekLoadKey(o.keyFile->c_str()) <= 0) {
        char text[VEK_STRING_SIZE] = {};
        vekGetString(VEK_ERR_KEY_FILE, text);
        std::cerr << "error: " << text << std::endl;
        return kExitFailure;
    }
    if (vekInit(o.server ? o.server->c_str() : nullptr, o.flags) < 0) {
        reportInitFailure(o);
        return kExitInitFailed;
    }
    SessionGuard session;
    return capture(o);
}

}  // namespace snapwell
