#include "bridge.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "client_key.h"
#include "master_or_slave.h"
#include "stop_signals.h"
#include "publishers.h"
#include "server_trackers.h"

namespace vekdds {

namespace {

using Clock = std::chrono::steady_clock;

// What went out in the current second, and in all.
struct Tally {
    uint64_t frames = 0, posesSent = 0, posesDropped = 0, refused = 0;
    void add(const Tally& t) {
        frames += t.frames, posesSent += t.posesSent, posesDropped += t.posesDropped, refused += t.refused;
    }
};

// Everything the loop keeps between frames.
struct Bridge {
    RosFrame frame;  // the last one published
    int markersInFrame = 0;
    float hz = 0;
    uint32_t serverDropped = 0;
    int32_t previousFrame = -1;
    uint64_t skipped = 0;  // frame numbers that never came
    Tally second, total;
    std::string firstRefusal;
};

// The once-a-second line, in the manner of vekwatch's.
void statusLine(const Bridge& b, std::ostream& out) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "frame %d  %llu frames/s at %g Hz  poses %llu sent, %llu dropped  markers %zu of %d seen  "
                  "%llu frame numbers skipped, %u dropped by the server",
                  b.frame.frame, static_cast<unsigned long long>(b.second.frames), b.hz,
                  static_cast<unsigned long long>(b.second.posesSent),
                  static_cast<unsigned long long>(b.second.posesDropped), b.frame.markers.size(),
                  b.markersInFrame, static_cast<unsigned long long>(b.skipped), b.serverDropped);
    out << line;
    if (b.second.refused) out << "  " << b.second.refused << " samples refused by DDS";
    out << std::endl;
}

std::string serverOf(const Options& options) {
    std::string server = options.server.value_or("");
    if (server.empty()) server = std::getenv("VEK_SERVER") ? std::getenv("VEK_SERVER") : "localhost";
    return server;
}

}  // namespace

int runBridge(const Options& options, const char* environmentDomain, std::ostream& out, std::ostream& err) {
    const std::string server = serverOf(options);
    PublisherSettings settings{0, options.bestEffort, options.prefix, options.frameId};
    std::string error;
    if (!resolveDomain(options.domain, environmentDomain, settings.domain, error)) {
        err << "error: " << error << std::endl;
        return kExitFailure;
    }
    if (options.keyFile && !veksock::loadKey(options.keyFile->c_str())) {
        err << "error: " << veksock::keyProblem() << std::endl;
        return kExitFailure;
    }
    std::vector<vektk::Tracker> trackers;
    if (!loadTrackerFiles(options.trackers, trackers, err)) return kExitFailure;
    const std::unique_ptr<Publishers> publishers = Publishers::open(settings, error);
    if (!publishers) {
        err << "error: " << error << std::endl;
        return kExitFailure;
    }

    veksock::Session session;
    bool master = false;
    if (const int why = veksock::joinAsMasterOrSlave(session, server, master)) {
        err << "error: cannot connect to " << server << ": " << session.describe(why) << std::endl;
        return kExitFailure;
    }
    std::string startLine;
    if (!setUpServer(session, server, master, options, settings.domain, trackers, *publishers, startLine,
                     err))
        return kExitFailure;

    Bridge b;
    bool estimated = true;  // the last stamp was a capture time
    session.setFrameSink([&](const uint8_t*, size_t, const vekwire::FrameView& view) {
        // The capture time on this machine's realtime clock, from the
        // library's estimate of the server's clock; without a trusted
        // estimate (yet), the arrival time is the best there is.
        int64_t captureUs = 0;
        const bool known = session.localTimeOf(view.header.generatedUs, CLOCK_REALTIME, captureUs);
        if (!known && estimated)
            err << "warning: no trusted estimate of " << server << "'s clock: header stamps are the frames' "
                << "arrival times here until there is one" << std::endl;
        estimated = known;
        toRos(view, known ? captureUs * 1000 : realtimeNowNs(), b.frame);
        const int refused = publishers->publish(b.frame, b.firstRefusal);
        if (refused && b.total.refused + b.second.refused == 0)
            err << "warning: " << b.firstRefusal << " (counted in the status line from now on)" << std::endl;
        const uint32_t rigids = view.count[VEK_RIGID_STREAM];
        ++b.second.frames;
        b.second.posesSent += b.frame.bodies.size();
        b.second.posesDropped += rigids - b.frame.bodies.size();
        b.second.refused += static_cast<uint64_t>(refused);
        b.markersInFrame = static_cast<int>(view.count[VEK_MARKER_STREAM]);
        b.hz = view.header.frequency;
        b.serverDropped = view.header.serverDropped;
        if (b.previousFrame >= 0 && view.header.frame > b.previousFrame + 1)
            b.skipped += static_cast<uint64_t>(view.header.frame - b.previousFrame - 1);
        b.previousFrame = view.header.frame;
    });
    if (!session.setInteger(VEK_STREAMING, VEK_ON)) {
        err << "error: " << server << " refused to stream: " << session.describe(session.takeError())
            << std::endl;
        return kExitFailure;
    }
    out << startLine << std::endl;

    auto shown = Clock::now();
    bool connected = true;
    while (!vektk::StopRequested() && connected) {
        connected = session.pump(50);
        if (Clock::now() - shown >= std::chrono::seconds(1)) {
            shown += std::chrono::seconds(1);
            if (Clock::now() - shown > std::chrono::seconds(1)) shown = Clock::now();
            statusLine(b, out);
            b.total.add(b.second);
            b.second = {};
        }
    }
    b.total.add(b.second);
    const int lost = connected ? 0 : session.takeError();
    session.done();
    out << "vekdds: published " << b.total.frames << " frames: " << b.total.posesSent << " poses sent, "
        << b.total.posesDropped << " dropped (bodies not seen)" << std::endl;
    if (!lost) return kExitSuccess;
    err << "error: the connection to " << server << " ended: " << session.describe(lost) << std::endl;
    return kExitFailure;
}

}  // namespace vekdds
