#include "tracker_line.h"

#include <charconv>
#include <cmath>
#include <type_traits>

namespace vektk {
namespace {

// Reads scanf-style fields from [p, end): whitespace directives skip any
// amount of blank, conversions skip leading blank and take an optional sign.
class FieldScanner {
public:
    FieldScanner(const char* p, const char* end) : p_(p), end_(end) {}

    void SkipBlank() {
        while (p_ != end_ && IsBlank(*p_)) ++p_;
    }
    bool AtEnd() const { return p_ == end_; }
    bool Literal(char c) {
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }
    bool rangeError() const { return rangeError_; }

    template <typename T>
    bool Number(T& value) {
        SkipBlank();
        const char* start = p_;
        if (start != end_ && *start == '+') {
            ++start;
            if (start != end_ && *start == '-') return false;
        }
        T parsed{};
        auto [next, ec] = std::from_chars(start, end_, parsed);
        if (ec == std::errc::result_out_of_range) rangeError_ = true;
        if (ec != std::errc{}) return false;
        if constexpr (std::is_floating_point_v<T>) {
            if (!std::isfinite(parsed)) {
                rangeError_ = true;
                return false;
            }
        }
        value = parsed;
        p_ = next;
        return true;
    }

private:
    static bool IsBlank(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }

    const char* p_;
    const char* end_;
    bool rangeError_ = false;
};

// Number of fields of "%d, %f %f %f" matched; -1 when the line holds
// nothing but blank (scanf's EOF).
int ScanMarkerFields(FieldScanner& in, TrackerLine& line) {
    in.SkipBlank();
    if (in.AtEnd()) return -1;
    if (!in.Number(line.led)) return 0;
    if (!in.Literal(',')) return 1;
    int fields = 1;
    for (float& coordinate : line.pos) {
        if (!in.Number(coordinate)) return fields;
        ++fields;
    }
    return fields;
}

bool ScanScale(FieldScanner& in, float& scale) {
    return in.Literal('s') && in.Literal(',') && in.Number(scale);
}

}  // namespace

TrackerLine ParseTrackerLine(const char* text, std::size_t length) {
    TrackerLine line;
    if (length > 0 && text[0] == '#') {
        line.kind = TrackerLine::Kind::Comment;
        return line;
    }
    FieldScanner markerScan(text, text + length);
    const int fields = ScanMarkerFields(markerScan, line);
    if (markerScan.rangeError()) {
        line.kind = TrackerLine::Kind::Invalid;
    } else if (fields == 0) {
        FieldScanner scaleScan(text, text + length);
        const bool scale = ScanScale(scaleScan, line.scale);
        if (scaleScan.rangeError()) {
            line.kind = TrackerLine::Kind::Invalid;
        } else {
            line.kind = scale ? TrackerLine::Kind::Scale : TrackerLine::Kind::Ignored;
        }
    } else if (fields == 1) {
        line.kind = TrackerLine::Kind::Led;
    } else if (fields == 4) {
        line.kind = TrackerLine::Kind::LedPosition;
    } else {
        line.kind = TrackerLine::Kind::Invalid;
    }
    return line;
}

}  // namespace vektk
