// vektake info: what a take holds, read once from end to end.
#include <cstdio>
#include <ctime>
#include <ostream>

#include "commands.h"
#include "survey.h"

namespace taketool {

namespace {

std::string utc(int64_t unixUs) {
    const time_t t = static_cast<time_t>(unixUs / 1000000);
    struct tm parts {};
    char text[40];
    if (!gmtime_r(&t, &parts) || !std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts))
        return "?";
    return text;
}

// A name from the take as one printable line.
std::string printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return text;
}

std::string streams(uint32_t mask, bool peaksCarryLeds) {
    static const char* names[] = {"markers", "rigid bodies", "peaks", "detectors"};
    std::string out;
    for (int s = 0; s < VEK_STREAM_COUNT; ++s) {
        if (!(mask & vek_stream_bit(s))) continue;
        if (!out.empty()) out += ", ";
        out += names[s];
        if (s == VEK_IMAGE_STREAM && peaksCarryLeds) out += " (with LED ids)";
    }
    return out.empty() ? "none" : out;
}

std::string numbers(const std::vector<int>& ids) {
    std::string out;
    for (size_t i = 0; i < ids.size();) {
        size_t j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1) ++j;
        out +=
            (out.empty() ? "" : ", ") + std::to_string(ids[i]) + (j > i ? "-" + std::to_string(ids[j]) : "");
        i = j + 1;
    }
    return out;
}

void printMarkers(const Survey& s, Naming naming, std::ostream& out) {
    out << "markers:      " << s.seen.size() << " seen";
    if (s.present.size() != s.seen.size()) out << " of " << s.present.size();
    if (!s.seen.empty()) out << ": " << describeMarkers(s.seen, naming);
    out << '\n';
    out << "              "
        << (naming == Naming::Leds ? "named by LED (recorded as master: marker i is LED i)"
                                   : "named tracker:index (recorded as a slave: the take does not say "
                                     "which LED a marker is)")
        << '\n';
}

}  // namespace

int runInfo(const Options& o, std::ostream& out, std::ostream& err, bool terminal) {
    FrameWalk walk;
    std::string error;
    if (!walk.open(o.input, error)) return failure(err, error);
    Progress progress(out, terminal);
    progress.stage("reading " + o.input);
    Survey s;
    const bool read = walk.run(
        {}, progress,
        [&](const WalkedFrame& f, std::string&) {
            s.add(f, walk.session().flags & vektake::kPeaksCarryLeds);
            return true;
        },
        error);
    progress.finish();
    if (!read) return failure(err, error);

    const vektake::Session& session = walk.session();
    const bool peakLeds = session.flags & vektake::kPeaksCarryLeds;
    const Naming naming = namingOf(session.flags);
    size_t calibrated = 0;
    for (const vektake::Camera& c : walk.cameras()) calibrated += c.record.cond >= 0;
    out << o.input << '\n';
    out << "format:       take version " << walk.version() << ", " << megabytes(walk.bytes()) << '\n';
    out << "recorded:     " << utc(session.startUnixUs) << " from \"" << printable(session.serverName)
        << "\" (" << printable(session.server) << ") as " << (naming == Naming::Leds ? "master" : "a slave")
        << '\n';
    out << "cameras:      " << walk.cameras().size() << ", " << calibrated << " calibrated\n";
    out << "frames:       " << s.frames;
    if (s.frames) out << " in " << seconds(since(s.lastUs, s.firstUs)) << " at " << hertz(s.rate);
    if (s.rateChangesAt) out << " (" << hertz(s.otherRate) << " from frame " << s.rateChangesAt << ")";
    out << ", " << s.missed << " dropped at recording\n";
    out << "streams:      " << streams(s.streams, peakLeds) << '\n';
    printMarkers(s, naming, out);
    out << "local times:  ";
    if (walk.version() < 2)
        out << "none (take version 1 holds only the server's clock)\n";
    else if (s.localTimes == 0)
        out << "none (the recorder never had a clock estimate it could trust)\n";
    else
        out << s.localTimes << " of " << s.frames << " frames on the recorder's clock, from "
            << utc(s.firstLocalUs) << '\n';
    out << "rigid bodies: " << s.rigids.size()
        << (s.rigids.empty()
                ? ""
                : (s.rigids.size() == 1 ? " (tracker " : " (trackers ") + numbers(s.rigids) + ")")
        << '\n';
    if (peakLeds)
        out << "peak LEDs:    " << s.peakLeds.size()
            << (s.peakLeds.empty() ? "" : " (" + numbers(s.peakLeds) + ")") << '\n';
    if (s.moreIds) out << "              (more ids than " << kMaxIds << "; the lists stop there)\n";
    const std::string cut = walk.cutShort();
    out << "end:          " << (cut.empty() ? "complete" : cut) << std::flush;
    out << '\n' << std::flush;
    return kExitSuccess;
}

}  // namespace taketool
