#include "recorder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>

#include "atomic_file.h"
#include "client_key.h"
#include "master_or_slave.h"
#include "stop_signals.h"
#include "take_writer.h"

namespace vekrec {

namespace {

using Clock = std::chrono::steady_clock;

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// Connects as master when no master is there (defining the point tracker),
// else as a slave. False with the reason printed.
bool connect(veksock::Session& session, const std::string& server, int leds, bool& master, std::ostream& out,
             std::ostream& err) {
    if (const int why = veksock::joinAsMasterOrSlave(session, server, master)) {
        err << "vekrec: cannot connect to " << server << ": " << session.describe(why) << std::endl;
        return false;
    }
    if (!master) {
        out << "vekrec: recording " << server << " as a slave (a master is connected; its trackers stay as "
            << "they are)" << std::endl;
        return true;
    }
    bool ok = session.request(vekwire::Op::TrackerCreate, 0, VEK_CREATE, VEK_POINT_TRACKER) == 0;
    for (int i = 0; ok && i < leds; ++i)
        ok = session.request(vekwire::Op::MarkerInt, vek_marker_id(0, i), VEK_MARKER_LED, i) == 0;
    ok = ok && session.request(vekwire::Op::TrackerOp, 0, 0, VEK_ON) == 0;
    if (!ok) {
        err << "vekrec: " << server << " refused the point tracker: " << session.describe(session.takeError())
            << std::endl;
        return false;
    }
    out << "vekrec: recording " << server << " as master (no master was connected), with a point tracker on "
        << "LEDs 0-" << leds - 1 << std::endl;
    return true;
}

// Every stream on, peaks labelled with LED ids when the server can; false
// with the reason printed.
bool switchStreamsOn(veksock::Session& session, bool& peakLeds, std::ostream& out, std::ostream& err) {
    for (const int key : {VEK_MARKERS, VEK_RIGIDS, VEK_IMAGES, VEK_DETECTORS}) {
        if (!session.setInteger(key, VEK_ON)) {
            err << "vekrec: the server refused stream " << key << ": "
                << session.describe(session.takeError()) << std::endl;
            return false;
        }
    }
    peakLeds = session.setInteger(VEK_PEAK_LEDS, VEK_ON);
    if (!peakLeds) {
        session.takeError();
        out << "vekrec: warning: the server does not label peaks with LED ids; the take will replay its "
            << "recorded markers only" << std::endl;
    }
    if (!session.setInteger(VEK_STREAMING, VEK_ON)) {
        err << "vekrec: the server refused to stream: " << session.describe(session.takeError()) << std::endl;
        return false;
    }
    return true;
}

// Time without frames: a gap between frames longer than kStallSeconds (or
// than four frame periods, at low rates) is a server that stalled. While
// the frequency is 0 no frame is due, and waiting is no stall.
class Stalls {
public:
    explicit Stalls(Clock::time_point now) : last_(now) {}
    void frame(Clock::time_point now, float hz) {
        seconds_ += stalled(now, hz);
        last_ = now;
    }
    void noneDue(Clock::time_point now) { last_ = now; }
    // Seconds without frames so far, the stall going on now included.
    double seconds(Clock::time_point now, float hz) const { return seconds_ + stalled(now, hz); }

private:
    static constexpr double kStallSeconds = 0.5;
    double stalled(Clock::time_point now, float hz) const {
        const double gap = std::chrono::duration<double>(now - last_).count();
        return hz > 0 && gap > std::max(kStallSeconds, 4.0 / hz) ? gap : 0;
    }
    Clock::time_point last_;
    double seconds_ = 0;
};

// What came and what is written: the take's records wait in `pending`
// until the loop writes them.
struct Recording {
    vektake::Session info;
    std::unique_ptr<vektake::Writer> writer;
    std::string pending;
    uint32_t leftOut = 0;
    std::string firstLeftOut;
    int notMade = 0;           // frames the server did not make (VEK_SERVER_SKIPPED)
    double withoutFrames = 0;  // seconds the server stalled

    // Gaps in the frame numbers but those the server never made.
    uint32_t dropped() const {
        const uint32_t gaps = writer ? writer->dropped() : 0;
        return gaps - std::min(gaps, static_cast<uint32_t>(notMade));
    }
};

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

void progress(const Recording& r, double elapsed, std::ostream& out) {
    out << '\r' << (r.writer ? r.writer->frames() : 0) << " frames  " << seconds(elapsed) << "  "
        << megabytes(r.writer ? r.writer->bytes() : 0) << "  " << r.dropped() << " dropped";
    if (r.notMade > 0) out << ", " << r.notMade << " not made";
    if (r.withoutFrames > 0) out << "  warning: " << seconds(r.withoutFrames) << " without frames";
    out << "   " << std::flush;
}

// Ends the take: the end record, then the rename over the target.
// `writeError`: errno of a failed write during the recording, else 0;
// `lost`: why the connection ended, empty when it did not.
int finishTake(Recording& rec, vektk::AtomicFileStream& file, int writeError, const std::string& lost,
               std::ostream& out, std::ostream& err) {
    if (writeError) {
        err << "vekrec: cannot write " << file.TempPath() << ": " << std::strerror(writeError)
            << "; it keeps the frames written before" << std::endl;
        return kExitFailure;
    }
    if (!rec.writer) {
        file.Discard();
        err << "vekrec: no frame came ("
            << (lost.empty() ? std::string("is the server's frequency 0?") : lost) << "); nothing written"
            << std::endl;
        return kExitFailure;
    }
    rec.writer->end(rec.pending);
    vektk::AtomicWriteResult done{vektk::AtomicWriteStatus::WriteFailed, 0};
    if (file.Append(rec.pending))
        done = file.Commit();
    else
        done.error = errno;
    if (done.status != vektk::AtomicWriteStatus::Written) {
        err << "vekrec: cannot finish " << file.TargetPath() << ": " << std::strerror(done.error)
            << "; the frames are in " << file.TempPath() << std::endl;
        return kExitFailure;
    }
    if (rec.leftOut)
        err << "vekrec: warning: " << rec.leftOut << " frames left out of the take (" << rec.firstLeftOut
            << ")" << std::endl;
    const vektake::Writer& w = *rec.writer;
    out << "vekrec: wrote " << file.TargetPath() << ": " << w.frames() << " frames, "
        << seconds(static_cast<double>(w.durationUs()) / 1e6) << ", " << megabytes(w.bytes()) << ", "
        << rec.dropped() << " frames dropped";
    if (rec.notMade > 0) out << ", " << rec.notMade << " not made by the server";
    if (rec.withoutFrames > 0) out << "; warning: " << seconds(rec.withoutFrames) << " without frames";
    out << std::endl;
    if (lost.empty()) return kExitSuccess;
    err << "vekrec: the take ends early: " << lost << std::endl;
    return kExitFailure;
}

}  // namespace

int record(const Options& options, std::ostream& out, std::ostream& err, bool progressLine) {
    std::string server = options.server.value_or("");
    if (server.empty()) server = std::getenv("VEK_SERVER") ? std::getenv("VEK_SERVER") : "localhost";
    const std::string path = takePath(options.output);
    if (!options.keyFile.empty() && !veksock::loadKey(options.keyFile.c_str())) {
        err << "vekrec: " << veksock::keyProblem() << std::endl;
        return kExitFailure;
    }

    vektk::AtomicFileStream file;
    if (const auto opened = file.Open(path); opened.status != vektk::AtomicWriteStatus::Written) {
        err << "vekrec: cannot write " << path << ": "
            << (opened.status == vektk::AtomicWriteStatus::NotRegularFile
                    ? "not a regular file (a take is written beside its file and renamed over it)"
                    : std::strerror(opened.error))
            << std::endl;
        return kExitFailure;
    }
    veksock::Session session;
    bool master = false, peakLeds = false;
    if (!connect(session, server, options.leds, master, out, err) ||
        !switchStreamsOn(session, peakLeds, out, err)) {
        file.Discard();
        return kExitFailure;
    }

    Recording rec;
    // Every vekd serves a y-up world.
    rec.info.flags = vektake::kWorldYUp | (peakLeds ? vektake::kPeaksCarryLeds : 0) |
                     (master ? vektake::kRecordedAsMaster : 0);
    rec.info.startUnixUs = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    session.getFloat(VEK_FREQUENCY, rec.info.frequency);
    rec.info.serverName = session.serverName();
    rec.info.server = server;
    Stalls stalls(Clock::now());
    session.setFrameSink([&](const uint8_t* payload, size_t size, const vekwire::FrameView& view) {
        stalls.frame(Clock::now(), view.header.frequency);
        if (!rec.writer) rec.writer = std::make_unique<vektake::Writer>(rec.info, session.cameraList());
        std::string why;
        int64_t localUs = vektake::kNoLocalTime;
        session.localTimeOf(view.header.generatedUs, CLOCK_REALTIME, localUs);
        if (!rec.writer->frame(payload, size, view, localUs, rec.pending, why) && rec.leftOut++ == 0)
            rec.firstLeftOut = "frame " + std::to_string(view.header.frame) + ": " + why;
    });
    out << "vekrec: recording to " << file.TempPath() << ", renamed to " << file.TargetPath()
        << " at the end; "
        << (options.seconds ? "stops after " + seconds(*options.seconds) + " or at Ctrl+C"
                            : "Ctrl+C ends the take")
        << std::endl;

    const auto start = Clock::now();
    auto shown = start;
    bool connected = true;
    int writeError = 0;
    while (!vektk::StopRequested() && connected && !writeError) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (options.seconds && elapsed >= *options.seconds) break;
        const double leftMs = options.seconds ? (*options.seconds - elapsed) * 1000 : 50;
        connected = session.pump(static_cast<int>(std::min(50.0, leftMs)) + 1);
        if (!file.Append(rec.pending)) writeError = errno;
        rec.pending.clear();
        float hz = 0;
        session.getFloat(VEK_FREQUENCY, hz);
        session.getInteger(VEK_SERVER_SKIPPED, rec.notMade);
        if (hz <= 0) stalls.noneDue(Clock::now());
        rec.withoutFrames = stalls.seconds(Clock::now(), hz);
        if (progressLine && Clock::now() - shown > std::chrono::milliseconds(250)) {
            shown = Clock::now();
            progress(rec, std::chrono::duration<double>(shown - start).count(), out);
        }
    }
    if (progressLine) out << '\n';
    const int code = connected ? 0 : session.takeError();
    const std::string lost = code ? session.describe(code) : "";
    session.done();
    return finishTake(rec, file, writeError, lost, out, err);
}

}  // namespace vekrec
