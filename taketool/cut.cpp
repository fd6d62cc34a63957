// vektake cut: a stretch of a take as a take of its own, with the take's
// session and cameras, its frame records byte for byte, and an end record
// that counts them.
#include <ostream>

#include "commands.h"
#include "output_file.h"
#include "take_format.h"

namespace taketool {

namespace {

struct Cut {
    uint32_t frames = 0;
    uint64_t dropped = 0, bytes = 0;
    int64_t firstNumber = 0, lastNumber = 0, firstUs = 0, lastUs = 0;
};

// The cut's first records: the take's session, its start moved to the
// cut's first frame, and the take's cameras.
void begin(const FrameWalk& walk, int64_t timeUs, std::string& out) {
    vektake::Session session = walk.session();
    int64_t start;
    if (!__builtin_add_overflow(session.startUnixUs, timeUs, &start)) session.startUnixUs = start;
    vektake::appendFileHeader(out);
    vektake::appendSession(out, session);
    vektake::appendCameras(out, walk.cameras());
}

}  // namespace

int runCut(const Options& o, std::ostream& out, std::ostream& err, bool terminal) {
    FrameWalk walk;
    OutputFile file;
    std::string error;
    if (!walk.open(o.input, error) || !file.open(o.output, walk, error)) return failure(err, error);
    Progress progress(out, terminal);
    progress.stage("cutting " + o.input);
    Cut cut;
    const bool read = walk.run(
        {o.fromUs, o.toUs}, progress,
        [&](const WalkedFrame& f, std::string& why) {
            std::string& b = file.buffer();
            const size_t before = b.size();
            if (cut.frames++ == 0) {
                begin(walk, f.timeUs, b);
                cut.firstNumber = f.number;
                cut.firstUs = f.timeUs;
            } else {
                cut.dropped += static_cast<uint64_t>(f.number - cut.lastNumber - 1);
            }
            vektake::appendFrame(b, f.localTimeUs, f.payload, f.size);
            cut.lastNumber = f.number;
            cut.lastUs = f.timeUs;
            cut.bytes += b.size() - before;
            return file.flush(why);
        },
        error);
    progress.finish();
    if (!read) return failure(err, error);
    if (cut.frames == 0)
        return failure(err, "no frame of " + o.input + " lies in that stretch; nothing written");
    const int64_t duration = since(cut.lastUs, cut.firstUs);
    const size_t before = file.buffer().size();
    vektake::appendEnd(file.buffer(), {cut.frames, static_cast<uint32_t>(cut.dropped), duration});
    cut.bytes += file.buffer().size() - before;
    if (!file.commit(error)) return failure(err, error);
    if (const std::string why = walk.cutShort(); !why.empty())
        warning(err, o.input + ": " + why + "; the cut holds its whole frames");
    out << "vektake: wrote " << o.output << ": " << cut.frames << " frames (" << cut.firstNumber << " to "
        << cut.lastNumber << " of the take), " << seconds(duration) << ", " << megabytes(cut.bytes) << ", "
        << cut.dropped << " frames dropped" << std::endl;
    return kExitSuccess;
}

}  // namespace taketool
