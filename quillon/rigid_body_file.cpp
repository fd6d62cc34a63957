#include "rigid_body_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "atomic_file.h"
#include "line_reader.h"
#include "printable_text.h"
#include "regular_file.h"
#include "tracker_line.h"

namespace {

// A line holds at most this many characters before its break.
constexpr std::size_t kMaxLineLength = 255;

}  // namespace

int ReadRigidBodyFile(const std::string& path, std::vector<MarkerRecord>& markers, std::ostream& err) {
    markers.clear();
    std::string why;
    const vekwire::FileHandle file = vekwire::openRegularFileStream(path, why);
    if (!file) {
        err << "error opening " << path << ": " << why << '\n';
        return 0;
    }
    vektk::LineReader reader(file.get(), kMaxLineLength);
    std::string text;
    for (int number = 1;; ++number) {
        const vektk::LineReader::Result result = reader.Next(text);
        if (result == vektk::LineReader::Result::End) break;
        if (result == vektk::LineReader::Result::ReadError) {
            err << "error: read(" << path << "): " << std::strerror(errno) << '\n';
            markers.clear();
            return 0;
        }
        // A line too long for the buffer is refused like any invalid line.
        vektk::TrackerLine line;
        if (result == vektk::LineReader::Result::Line)
            line = vektk::ParseTrackerLine(text.data(), text.size());
        if (line.kind == vektk::TrackerLine::Kind::Comment) continue;
        const int n = static_cast<int>(markers.size());
        if (line.kind == vektk::TrackerLine::Kind::Led) {
            markers.push_back({n, line.led, 0, 0, 0, 0, 0});
        } else if (line.kind == vektk::TrackerLine::Kind::LedPosition) {
            markers.push_back({n, line.led, line.pos[0], line.pos[1], line.pos[2], 1.0f, 0});
        } else {
            err << path << ":" << number << ": invalid string: " << vekwire::printable(text) << '\n';
            markers.clear();
            return 0;
        }
    }
    return static_cast<int>(markers.size());
}

bool SaveRigidBodyFile(const std::string& path, const std::vector<MarkerRecord>& markers, std::ostream& out,
                       std::ostream& err) {
    std::string content;
    char line[160];
    for (const MarkerRecord& m : markers) {
        const int length =
            std::snprintf(line, sizeof line, "%d, %.1f %.1f %.1f\n", m.id, static_cast<double>(m.x),
                          static_cast<double>(m.y), static_cast<double>(m.z));
        content.append(line, static_cast<std::size_t>(length) < sizeof line ? static_cast<std::size_t>(length)
                                                                            : sizeof line - 1);
    }
    const vektk::AtomicWriteResult r = vektk::WriteFileAtomically(path, content);
    if (r.status != vektk::AtomicWriteStatus::Written) {
        err << (r.status == vektk::AtomicWriteStatus::OpenFailed ? "open(" : "write(") << path
            << "): " << std::strerror(r.error) << '\n';
        return false;
    }
    out << "wrote to " << path << '\n';
    return true;
}
