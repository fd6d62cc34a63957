#include "csv_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "take_format.h"

namespace taketool::csv {

namespace {

// A line is formatted whole on the stack, then appended once.
class Line {
public:
    void text(std::string_view t) {
        const size_t n = std::min(t.size(), kRoom - used());
        std::memcpy(end_, t.data(), n);
        end_ += n;
    }
    void comma() { text(","); }
    // Shortest text that reads back as the same float; "." whatever the locale.
    void number(float v) { end_ = std::to_chars(end_, text_ + kRoom, v).ptr; }
    void integer(int v) { end_ = std::to_chars(end_, text_ + kRoom, v).ptr; }
    void appendTo(std::string& out) {
        *end_ = '\n';
        out.append(text_, used() + 1);
    }

private:
    static constexpr size_t kRoom = 255;  // a prefix, a name and ten floats fit
    size_t used() const { return static_cast<size_t>(end_ - text_); }
    char text_[kRoom + 1];
    char* end_ = text_;
};

}  // namespace

std::string rigidsPath(const std::string& csvPath) {
    return csvPath.substr(0, csvPath.size() - 4) + "_rigids" + csvPath.substr(csvPath.size() - 4);
}

namespace {

// Microseconds as seconds with six decimals, then a comma.
void appendSeconds(std::string& out, int64_t us) {
    const uint64_t magnitude = us < 0 ? 0 - static_cast<uint64_t>(us) : static_cast<uint64_t>(us);
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%s%llu.%06llu,", us < 0 ? "-" : "",
                                static_cast<unsigned long long>(magnitude / 1000000),
                                static_cast<unsigned long long>(magnitude % 1000000));
    out.append(text, static_cast<size_t>(n));
}

}  // namespace

std::string framePrefix(int64_t number, int64_t timeUs, int64_t localTimeUs) {
    std::string out = std::to_string(number) + ",";
    appendSeconds(out, timeUs);
    if (localTimeUs == vektake::kNoLocalTime)
        out += ',';
    else
        appendSeconds(out, localTimeUs);
    return out;
}

void appendMarker(std::string& out, std::string_view prefix, std::string_view name, const MarkerRecord& m) {
    Line line;
    line.text(prefix);
    line.text(name);
    line.comma();
    const bool seen = m.cond > 0, filled = seen && (m.flags & VEK_MARKER_FILLED);
    if (seen) {
        for (const float v : {m.x, m.y, m.z}) {
            line.number(v);
            line.comma();
        }
    } else {
        line.text(",,,");
    }
    line.number(filled ? 0.0f : m.cond);
    line.appendTo(out);
}

void appendRigid(std::string& out, std::string_view prefix, const RigidRecord& r) {
    Line line;
    line.text(prefix);
    line.integer(r.id);
    for (const float v : r.pose) {
        line.comma();
        if (r.cond > 0) line.number(v);
    }
    line.appendTo(out);
}

}  // namespace taketool::csv
