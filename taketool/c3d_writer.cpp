#include "c3d_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace taketool::c3d {

static_assert(std::endian::native == std::endian::little, "C3D here is written in Intel byte order");

namespace {

constexpr size_t kBlock = 512;
constexpr uint8_t kIntel = 84;  // 83 + processor type 1
constexpr size_t kMaxParameterBlocks = 255;
constexpr size_t kPerParameter = 255;  // strings in one LABELS or DESCRIPTIONS parameter
constexpr int64_t kMaxWord = 65535;

template <typename T>
void put(std::string& out, T v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T>
void putAt(std::string& out, size_t at, T v) {
    std::memcpy(&out[at], &v, sizeof v);
}

// The parameter section's records: each group or parameter record points
// to the next one; the last record's pointer is 0.
class Parameters {
public:
    void group(int id, const std::string& name, const std::string& description) {
        begin(name, static_cast<int8_t>(-id));
        put<uint8_t>(out_, static_cast<uint8_t>(description.size()));
        out_ += description;
        end();
    }
    void integers(int group, const std::string& name, const std::vector<int16_t>& values, bool array,
                  const std::string& description) {
        data(group, name, 2, array ? std::vector<size_t>{values.size()} : std::vector<size_t>{},
             std::string(reinterpret_cast<const char*>(values.data()), values.size() * 2), description);
    }
    void number(int group, const std::string& name, float value, const std::string& description) {
        data(group, name, 4, {}, std::string(reinterpret_cast<const char*>(&value), 4), description);
    }
    void text(int group, const std::string& name, const std::string& value, const std::string& description) {
        data(group, name, -1, {value.size()}, value, description);
    }
    // Strings padded with spaces to the longest: a width × count array.
    void texts(int group, const std::string& name, const std::vector<std::string>& values,
               const std::string& description) {
        size_t width = 1;
        for (const std::string& v : values) width = std::max(width, v.size());
        std::string bytes;
        for (const std::string& v : values) bytes += v + std::string(width - v.size(), ' ');
        data(group, name, -1, {width, values.size()}, bytes, description);
    }
    // The section: header, records, zeros up to a whole block.
    std::string section() const {
        std::string s = {0, 0, 0, static_cast<char>(kIntel)};
        s += out_;
        if (last_ != kNone) putAt<int16_t>(s, 4 + last_, 0);
        s.resize((s.size() + kBlock - 1) / kBlock * kBlock, '\0');
        s[2] = static_cast<char>(std::min(s.size() / kBlock, kMaxParameterBlocks));
        return s;
    }

private:
    static constexpr size_t kNone = ~size_t{0};

    void begin(const std::string& name, int8_t id) {
        put<int8_t>(out_, static_cast<int8_t>(name.size()));
        put<int8_t>(out_, id);
        out_ += name;
        last_ = out_.size();
        put<int16_t>(out_, 0);
    }
    // The pointer counts from its own first byte to the next record.
    void end() { putAt<int16_t>(out_, last_, static_cast<int16_t>(out_.size() - last_)); }
    void data(int group, const std::string& name, int8_t type, const std::vector<size_t>& dims,
              const std::string& bytes, const std::string& description) {
        begin(name, static_cast<int8_t>(group));
        put<int8_t>(out_, type);
        put<uint8_t>(out_, static_cast<uint8_t>(dims.size()));
        for (const size_t d : dims) put<uint8_t>(out_, static_cast<uint8_t>(d));
        out_ += bytes;
        put<uint8_t>(out_, static_cast<uint8_t>(description.size()));
        out_ += description;
        end();
    }

    std::string out_;
    size_t last_ = kNone;  // where the newest record's pointer is
};

// Frame counts up to 65534 as an integer, longer ones as a float.
void frameCount(Parameters& p, int64_t frames) {
    const std::string what = "number of frames";
    if (frames < kMaxWord) {
        p.integers(1, "FRAMES", {static_cast<int16_t>(frames)}, false, what);
        return;
    }
    p.number(1, "FRAMES", static_cast<float>(frames), what);
    p.number(1, "LONG_FRAMES", static_cast<float>(frames), what);
}

// 32 bits in two words, low word first.
std::vector<int16_t> longWord(int64_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<int16_t>(u & 0xFFFF), static_cast<int16_t>(u >> 16)};
}

std::vector<std::string> slice(const std::vector<std::string>& v, size_t from) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from),
            v.begin() + static_cast<std::ptrdiff_t>(std::min(v.size(), from + kPerParameter))};
}

std::string parameters(const Layout& l, int64_t frames, int dataStart) {
    Parameters p;
    p.group(1, "POINT", "3D points: markers, in mm");
    p.integers(1, "USED", {static_cast<int16_t>(l.labels.size())}, false, "number of points");
    frameCount(p, frames);
    p.integers(1, "DATA_START", {static_cast<int16_t>(dataStart)}, false, "first block of the data");
    p.number(1, "SCALE", l.scale, "negative: floating-point data; residuals in units of its magnitude");
    p.number(1, "RATE", l.rate, "frames per second");
    p.text(1, "UNITS", "mm", "units of the coordinates");
    // How a viewer shows the room upright: +X to the right, the up axis up.
    p.text(1, "X_SCREEN", "+X", "axis to the right on screen");
    p.text(1, "Y_SCREEN", l.yUp ? "+Y" : "+Z", "axis up on screen");
    for (size_t at = 0, n = 1; at < l.labels.size(); at += kPerParameter, ++n) {
        const std::string suffix = n == 1 ? "" : std::to_string(n);
        p.texts(1, "LABELS" + suffix, slice(l.labels, at), "point labels");
        p.texts(1, "DESCRIPTIONS" + suffix, slice(l.descriptions, at), "point descriptions");
    }
    p.group(2, "ANALOG", "analog channels: none");
    p.integers(2, "USED", {0}, false, "number of analog channels");
    p.number(2, "RATE", l.rate, "samples per second");
    p.group(3, "TRIAL", "frame range");
    p.integers(3, "ACTUAL_START_FIELD", longWord(l.firstNumber), true, "first frame");
    p.integers(3, "ACTUAL_END_FIELD", longWord(l.lastNumber), true, "last frame");
    p.group(4, "MANUFACTURER", "what wrote the file");
    p.text(4, "SOFTWARE", "vektake", "exported from a take by");
    return p.section();
}

std::string headerBlock(const Layout& l, int64_t frames, int dataStart) {
    std::string h(kBlock, '\0');
    const auto word = [&h](int n, auto v) { putAt(h, static_cast<size_t>(n - 1) * 2, v); };
    h[0] = 2;  // the parameter section's first block
    h[1] = 0x50;
    word(2, static_cast<uint16_t>(l.labels.size()));
    word(3, uint16_t{0});  // analog measurements per frame
    // Frame numbers that do not fit a word are written as 1 to the count
    // (at most 65535); TRIAL holds the true ones.
    const bool fit = l.lastNumber <= kMaxWord;
    word(4, static_cast<uint16_t>(fit ? l.firstNumber : 1));
    word(5, static_cast<uint16_t>(fit ? l.lastNumber : std::min(frames, kMaxWord)));
    word(6, uint16_t{0});  // no interpolation gap
    word(7, l.scale);
    word(9, static_cast<uint16_t>(dataStart));
    word(10, uint16_t{1});  // analog samples per frame (ANALOG:RATE = POINT:RATE)
    word(11, l.rate);
    word(150, uint16_t{12345});  // four-character event labels (no events)
    return h;
}

}  // namespace

float residualOf(float cond) { return std::max(0.0f, (cond - 1.0f) / 100.0f); }

float scaleFor(float maxCoordinate) { return -std::max(0.01f, maxCoordinate / 32000.0f); }

Point pointOf(const MarkerRecord& m, float scale) {
    if (!(m.cond > 0)) return Point{};
    if (m.flags & VEK_MARKER_FILLED) return {m.x, m.y, m.z, 0.0f};
    // A measured point never reads as residual 0 ("not measured").
    const float steps = std::round(residualOf(m.cond) / std::fabs(scale));
    return {m.x, m.y, m.z, std::clamp(steps, 1.0f, 255.0f)};
}

bool head(const Layout& l, std::string& out, std::string& why) {
    const int64_t frames = l.lastNumber - l.firstNumber + 1;
    if (l.labels.empty() || l.labels.size() > kMaxPoints || l.descriptions.size() != l.labels.size()) {
        why = "C3D export needs 1 to " + std::to_string(kMaxPoints) + " points";
        return false;
    }
    if (l.firstNumber < 1 || frames < 1 || frames > kMaxFrames || l.lastNumber > UINT32_MAX) {
        why = "C3D export holds 1 to " + std::to_string(kMaxFrames) + " frames (use --from and --to)";
        return false;
    }
    if (!(std::isfinite(l.rate) && l.rate > 0)) {
        why = "the take does not tell its rate";
        return false;
    }
    // DATA_START depends on the section's size, not on its own value.
    const std::string section = parameters(l, frames, 0);
    const size_t blocks = section.size() / kBlock;
    if (blocks > kMaxParameterBlocks) {
        why = "the point labels do not fit a C3D parameter section";
        return false;
    }
    const int dataStart = 2 + static_cast<int>(blocks);
    out = headerBlock(l, frames, dataStart) + parameters(l, frames, dataStart);
    return true;
}

}  // namespace taketool::c3d
