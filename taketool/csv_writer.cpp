#include "csv_writer.h"

#include <charconv>
#include <cstdio>

namespace taketool::csv {

namespace {

// Shortest text that reads back as the same float; "." whatever the locale.
void appendFloat(std::string& out, float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    out.append(text, end);
}

}  // namespace

std::string rigidsPath(const std::string& csvPath) {
    return csvPath.substr(0, csvPath.size() - 4) + "_rigids" + csvPath.substr(csvPath.size() - 4);
}

std::string framePrefix(int64_t number, int64_t timeUs) {
    const uint64_t magnitude = timeUs < 0 ? 0 - static_cast<uint64_t>(timeUs) : static_cast<uint64_t>(timeUs);
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%lld,%s%llu.%06llu,", static_cast<long long>(number),
                                timeUs < 0 ? "-" : "", static_cast<unsigned long long>(magnitude / 1000000),
                                static_cast<unsigned long long>(magnitude % 1000000));
    return std::string(text, static_cast<size_t>(n));
}

void appendMarker(std::string& out, std::string_view prefix, std::string_view name, const MarkerRecord& m) {
    out += prefix;
    out += name;
    out += ',';
    const bool seen = m.cond > 0, filled = seen && (m.flags & VEK_MARKER_FILLED);
    if (seen) {
        for (const float v : {m.x, m.y, m.z}) {
            appendFloat(out, v);
            out += ',';
        }
    } else {
        out += ",,,";
    }
    appendFloat(out, filled ? 0.0f : m.cond);
    out += '\n';
}

void appendRigid(std::string& out, std::string_view prefix, const RigidRecord& r) {
    out += prefix;
    out += std::to_string(r.id);
    for (const float v : r.pose) {
        out += ',';
        if (r.cond > 0) appendFloat(out, v);
    }
    out += '\n';
}

}  // namespace taketool::csv
