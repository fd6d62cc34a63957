// vektake export: C3D in two walks over the take (the points and the frame
// range first: the header needs them), CSV in one. Memory stays the same
// however long the take.
#include <algorithm>
#include <cstring>
#include <ostream>

#include "c3d_writer.h"
#include "commands.h"
#include "csv_writer.h"
#include "output_file.h"
#include "survey.h"

namespace taketool {

namespace {

// Warns of --leds items that name no marker seen.
void warnUnseen(const PointSelection& selection, const std::vector<int>& seen, Naming naming,
                std::ostream& err) {
    for (const PointSelection::Range& r : selection.ranges) {
        PointSelection one;
        one.ranges = {r};
        if (std::none_of(seen.begin(), seen.end(), [&](int id) { return selects(one, id, naming); })) {
            const std::string item = (r.tracker >= 0 ? std::to_string(r.tracker) + ":" : "") +
                                     std::to_string(r.first) +
                                     (r.last > r.first ? "-" + std::to_string(r.last) : "");
            warning(err, "--leds " + item + ": not seen in the take");
        }
    }
}

// The points of a C3D export: the markers seen, or those of them --leds names.
bool choosePoints(const Options& o, const Survey& s, Naming naming, std::vector<int>& points,
                  std::ostream& err, std::string& error) {
    if (s.moreIds) {
        error = "the take names more than " + std::to_string(kMaxIds) + " markers; choose some with --leds";
        return false;
    }
    points = s.seen;
    if (o.leds) {
        if (!selectionFits(*o.leds, naming, error)) return false;
        warnUnseen(*o.leds, s.seen, naming, err);
        std::erase_if(points, [&](int id) { return !selects(*o.leds, id, naming); });
    }
    if (points.empty()) error = o.leds ? "no marker of --leds " + o.leds->text + " seen" : "no marker seen";
    return !points.empty();
}

MarkerRecord markerAt(const WalkedFrame& f, uint32_t i) {
    MarkerRecord m;
    std::memcpy(&m, f.frame.records[VEK_MARKER_STREAM] + size_t{i} * sizeof m, sizeof m);
    return m;
}

void warnCutShort(const FrameWalk& walk, const std::string& input, std::ostream& err) {
    if (const std::string why = walk.cutShort(); !why.empty())
        warning(err, input + ": " + why + "; its whole frames are exported");
}

int exportC3d(const Options& o, std::ostream& out, std::ostream& err, bool terminal) {
    FrameWalk walk;
    OutputFile file;
    std::string error;
    if (!walk.open(o.input, error) || !file.open(o.output, walk, error)) return failure(err, error);
    Progress progress(out, terminal);
    const Stretch stretch{o.fromUs, o.toUs};
    Survey s;
    progress.stage("reading " + o.input + " (1 of 2)");
    if (!walk.run(
            stretch, progress,
            [&](const WalkedFrame& f, std::string&) {
                s.add(f, false);
                return true;
            },
            error)) {
        progress.finish();
        return failure(err, error);
    }
    progress.finish();
    warnCutShort(walk, o.input, err);
    if (s.frames == 0)
        return failure(err, "no frame of " + o.input + " lies in that stretch; nothing written");
    // Missed frames are written as frames with no point seen; a take that
    // misses more than it holds is no steady recording.
    if (s.missed > s.frames)
        return failure(err, "the recorder missed " + std::to_string(s.missed) + " frames and kept " +
                                std::to_string(s.frames) + "; C3D needs a steady rate (export to CSV)");
    const Naming naming = namingOf(walk.session().flags);
    std::vector<int> ids;
    if (!choosePoints(o, s, naming, ids, err, error)) return failure(err, error + "; nothing written");

    c3d::Layout layout;
    for (const int id : ids) {
        layout.labels.push_back(pointLabel(id, naming));
        layout.descriptions.push_back(pointDescription(id, naming));
    }
    layout.rate = s.rate > 0 ? s.rate : walk.session().frequency;
    layout.yUp = (walk.session().flags & vektake::kWorldYUp) != 0;
    layout.scale = c3d::scaleFor(s.maxCoordinate);
    layout.firstNumber = s.firstNumber;
    layout.lastNumber = s.lastNumber;
    if (s.rateChangesAt)
        warning(err, "the rate changes at frame " + std::to_string(s.rateChangesAt) + " to " +
                         hertz(s.otherRate) + "; POINT:RATE is the first, " + hertz(layout.rate));
    if (!c3d::head(layout, file.buffer(), error)) return failure(err, error + "; nothing written");

    // Frames the recorder missed are frames of the file too, with no point seen.
    std::vector<c3d::Point> points(ids.size());
    const std::vector<c3d::Point> gap(ids.size());
    int64_t next = s.firstNumber;
    progress.stage("writing " + o.output + " (2 of 2)");
    const bool written = walk.run(
        stretch, progress,
        [&](const WalkedFrame& f, std::string& why) {
            if (f.number < next || f.number > s.lastNumber) {
                why = o.input + " changed while it was read";
                return false;
            }
            for (; next < f.number; ++next) {
                c3d::appendFrame(file.buffer(), gap);
                if (!file.flush(why)) return false;
            }
            std::fill(points.begin(), points.end(), c3d::Point{});
            for (uint32_t i = 0; i < f.frame.count[VEK_MARKER_STREAM]; ++i) {
                const MarkerRecord m = markerAt(f, i);
                const auto at = std::lower_bound(ids.begin(), ids.end(), m.id);
                if (at != ids.end() && *at == m.id) points[at - ids.begin()] = c3d::pointOf(m, layout.scale);
            }
            c3d::appendFrame(file.buffer(), points);
            ++next;
            return file.flush(why);
        },
        error);
    progress.finish();
    if (written && next != s.lastNumber + 1) error = o.input + " changed while it was read";
    if (!written || next != s.lastNumber + 1 || !file.commit(error)) return failure(err, error);
    out << "vektake: wrote " << o.output << ": " << ids.size() << " points, " << next - s.firstNumber
        << " frames, " << seconds(since(s.lastUs, s.firstUs));
    if (s.missed) out << " (" << s.missed << " frames dropped at recording, there with no point seen)";
    out << std::endl;
    return kExitSuccess;
}

int exportCsv(const Options& o, std::ostream& out, std::ostream& err, bool terminal) {
    FrameWalk walk;
    OutputFile markers, rigids;
    std::string error;
    const std::string rigidsPath = csv::rigidsPath(o.output);
    if (!walk.open(o.input, error) || !markers.open(o.output, walk, error) ||
        !rigids.open(rigidsPath, walk, error))
        return failure(err, error);
    Progress progress(out, terminal);
    progress.stage("reading " + o.input);
    markers.buffer() += csv::kMarkerHeader;
    rigids.buffer() += csv::kRigidHeader;
    Survey s;
    uint64_t markerLines = 0, poseLines = 0;
    // The names of the markers at each place of the last frame: frames
    // mostly list the same markers in the same order.
    std::vector<std::pair<int, std::string>> names;
    const bool written = walk.run(
        {o.fromUs, o.toUs}, progress,
        [&](const WalkedFrame& f, std::string& why) {
            const Naming naming = namingOf(walk.session().flags);
            if (s.frames == 0 && o.leds && !selectionFits(*o.leds, naming, why)) return false;
            s.add(f, false);
            const std::string prefix = csv::framePrefix(f.number, f.timeUs, f.localTimeUs);
            for (uint32_t i = 0; i < f.frame.count[VEK_MARKER_STREAM]; ++i) {
                const MarkerRecord m = markerAt(f, i);
                if (o.leds && !selects(*o.leds, m.id, naming)) continue;
                if (names.size() <= i) names.resize(i + 1, {m.id, csvName(m.id, naming)});
                if (names[i].first != m.id) names[i] = {m.id, csvName(m.id, naming)};
                csv::appendMarker(markers.buffer(), prefix, names[i].second, m);
                ++markerLines;
            }
            for (uint32_t i = 0; i < f.frame.count[VEK_RIGID_STREAM]; ++i, ++poseLines) {
                RigidRecord r;
                std::memcpy(&r, f.frame.records[VEK_RIGID_STREAM] + size_t{i} * sizeof r, sizeof r);
                csv::appendRigid(rigids.buffer(), prefix, r);
            }
            return markers.flush(why) && rigids.flush(why);
        },
        error);
    progress.finish();
    if (!written) return failure(err, error);
    warnCutShort(walk, o.input, err);
    if (s.frames == 0)
        return failure(err, "no frame of " + o.input + " lies in that stretch; nothing written");
    if (o.leds) warnUnseen(*o.leds, s.seen, namingOf(walk.session().flags), err);
    if (markerLines == 0 && o.leds)
        return failure(err, "no marker of --leds " + o.leds->text + " in the take; nothing written");
    // Both files or neither: a pair from two exports would not match.
    if (!rigids.commit(error) || !markers.commit(error)) return failure(err, error);
    out << "vektake: wrote " << o.output << ": " << markerLines << " marker lines of " << s.frames
        << " frames, " << seconds(since(s.lastUs, s.firstUs)) << std::endl;
    out << "vektake: wrote " << rigidsPath << ": " << poseLines << " pose lines" << std::endl;
    if (s.localTimes < s.frames)
        err << "note: local_time_s is empty in " << s.frames - s.localTimes << " of " << s.frames
            << " frames: "
            << (walk.version() < 2 ? "a take of version 1 holds only the server's clock"
                                   : "the recorder had no clock estimate it could trust then")
            << std::endl;
    return kExitSuccess;
}

}  // namespace

int runExport(const Options& o, std::ostream& out, std::ostream& err, bool terminal) {
    return o.format == Format::C3d ? exportC3d(o, out, err, terminal) : exportCsv(o, out, err, terminal);
}

}  // namespace taketool
