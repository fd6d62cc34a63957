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
#include "master_or_slave.h"
#include "stop_signals.h"
#include "take_writer.h"

namespace vekrec {

namespace {

using Clock = std::chrono::steady_clock;
using veksock::problemText;

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
        err << "vekrec: cannot connect to " << server << ": " << problemText(why) << std::endl;
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
        err << "vekrec: " << server << " refused the point tracker: " << problemText(session.takeError())
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
            err << "vekrec: the server refused stream " << key << ": " << problemText(session.takeError())
                << std::endl;
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
        err << "vekrec: the server refused to stream: " << problemText(session.takeError()) << std::endl;
        return false;
    }
    return true;
}

// What came and what is written: the take's records wait in `pending`
// until the loop writes them.
struct Recording {
    vektake::Session info;
    std::unique_ptr<vektake::Writer> writer;
    std::string pending;
    uint32_t leftOut = 0;
    std::string firstLeftOut;
};

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

void progress(const Recording& r, double elapsed, std::ostream& out) {
    char line[128];
    std::snprintf(line, sizeof line, "\r%u frames  %s  %s  %u dropped   ", r.writer ? r.writer->frames() : 0,
                  seconds(elapsed).c_str(), megabytes(r.writer ? r.writer->bytes() : 0).c_str(),
                  r.writer ? r.writer->dropped() : 0);
    out << line << std::flush;
}

// Ends the take: the end record, then the rename over the target.
// `writeError`: errno of a failed write during the recording, else 0;
// `lost`: the code that ended the connection, else 0.
int finishTake(Recording& rec, vektk::AtomicFileStream& file, int writeError, int lost, std::ostream& out,
               std::ostream& err) {
    if (writeError) {
        err << "vekrec: cannot write " << file.TempPath() << ": " << std::strerror(writeError)
            << "; it keeps the frames written before" << std::endl;
        return kExitFailure;
    }
    if (!rec.writer) {
        file.Discard();
        err << "vekrec: no frame came ("
            << (lost ? problemText(lost) : std::string("is the server's frequency 0?")) << "); nothing written"
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
        << w.dropped() << " frames dropped" << std::endl;
    if (!lost) return kExitSuccess;
    err << "vekrec: the take ends early: " << problemText(lost) << std::endl;
    return kExitFailure;
}

}  // namespace

int record(const Options& options, std::ostream& out, std::ostream& err, bool progressLine) {
    std::string server = options.server.value_or("");
    if (server.empty()) server = std::getenv("VEK_SERVER") ? std::getenv("VEK_SERVER") : "localhost";
    const std::string path = takePath(options.output);

    vektk::AtomicFileStream file;
    if (const auto opened = file.Open(path); opened.status != vektk::AtomicWriteStatus::Written) {
        err << "vekrec: cannot write " << path << ": " << std::strerror(opened.error) << std::endl;
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
    rec.info.flags = (peakLeds ? vektake::kPeaksCarryLeds : 0) | (master ? vektake::kRecordedAsMaster : 0);
    rec.info.startUnixUs = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    session.getFloat(VEK_FREQUENCY, rec.info.frequency);
    rec.info.serverName = session.serverName();
    rec.info.server = server;
    session.setFrameSink([&](const uint8_t* payload, size_t size, const vekwire::FrameView& view) {
        if (!rec.writer) rec.writer = std::make_unique<vektake::Writer>(rec.info, session.cameraList());
        std::string why;
        if (!rec.writer->frame(payload, size, view, rec.pending, why) && rec.leftOut++ == 0)
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
        if (progressLine && Clock::now() - shown > std::chrono::milliseconds(250)) {
            shown = Clock::now();
            progress(rec, std::chrono::duration<double>(shown - start).count(), out);
        }
    }
    if (progressLine) out << '\n';
    const int lost = connected ? 0 : session.takeError();
    session.done();
    return finishTake(rec, file, writeError, lost, out, err);
}

}  // namespace vekrec
