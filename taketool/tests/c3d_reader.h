// A small C3D reader for the tests, written from c3d.org's description of
// the format (not from the writer): the header block's words, the
// parameter section's group and parameter records, and the points of the
// data section. Intel byte order only.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace c3dtest {

struct Parameter {
    int type = 0;           // -1 char, 1 byte, 2 int16, 4 float
    std::vector<int> dims;  // empty: one value
    std::string data;
};

class File {
public:
    // False with the reason when the bytes are not a C3D file this reads.
    bool read(std::string bytes, std::string& why) {
        bytes_ = std::move(bytes);
        if (bytes_.size() < 512 || static_cast<uint8_t>(bytes_[1]) != 0x50)
            return fail("not a C3D header", why);
        const size_t start = (static_cast<uint8_t>(bytes_[0]) - size_t{1}) * 512;
        if (start + 4 > bytes_.size()) return fail("no parameter section", why);
        blocks = static_cast<uint8_t>(bytes_[start + 2]);
        processor = static_cast<uint8_t>(bytes_[start + 3]);
        std::map<int, std::string> groups;
        std::map<std::pair<int, std::string>, Parameter> byGroup;
        for (size_t at = start + 4; at + 2 <= bytes_.size();) {
            const int length = std::abs(static_cast<int8_t>(bytes_[at]));
            const int id = static_cast<int8_t>(bytes_[at + 1]);
            if (length == 0) break;
            const std::string name = bytes_.substr(at + 2, length);
            const size_t pointer = at + 2 + length;
            const int16_t next = value<int16_t>(pointer);
            if (id < 0) {
                groups[-id] = name;
            } else {
                Parameter p;
                p.type = static_cast<int8_t>(bytes_[pointer + 2]);
                const int dims = static_cast<uint8_t>(bytes_[pointer + 3]);
                size_t count = 1;
                for (int d = 0; d < dims; ++d) {
                    p.dims.push_back(static_cast<uint8_t>(bytes_[pointer + 4 + d]));
                    count *= p.dims.back();
                }
                p.data = bytes_.substr(pointer + 4 + dims, count * std::abs(p.type));
                byGroup[{id, name}] = p;
            }
            if (next == 0) break;
            at = pointer + next;
        }
        for (const auto& [key, p] : byGroup) {
            if (!groups.count(key.first)) return fail("parameter " + key.second + " of no group", why);
            parameters[groups[key.first] + ":" + key.second] = p;
        }
        return true;
    }

    uint16_t word(int n) const { return value<uint16_t>(static_cast<size_t>(n - 1) * 2); }
    float headerFloat(int n) const { return value<float>(static_cast<size_t>(n - 1) * 2); }

    bool has(const std::string& name) const { return parameters.count(name) != 0; }
    const Parameter& parameter(const std::string& name) const {
        static const Parameter none;
        const auto it = parameters.find(name);
        return it == parameters.end() ? none : it->second;
    }
    // An integer parameter's values, read as unsigned 16-bit numbers.
    std::vector<uint16_t> integers(const std::string& name) const {
        const Parameter& p = parameter(name);
        std::vector<uint16_t> v(p.type == 2 ? p.data.size() / 2 : 0);
        if (!v.empty()) std::memcpy(v.data(), p.data.data(), v.size() * 2);
        return v;
    }
    float number(const std::string& name) const {
        const Parameter& p = parameter(name);
        float v = 0;
        if (p.type == 4 && p.data.size() >= 4) std::memcpy(&v, p.data.data(), 4);
        return v;
    }
    // A character parameter: its strings, trailing spaces dropped.
    std::vector<std::string> strings(const std::string& name) const {
        const Parameter& p = parameter(name);
        std::vector<std::string> out;
        if (p.type != -1 || p.dims.empty() || p.dims[0] == 0) return out;
        const size_t width = p.dims[0];
        for (size_t at = 0; at + width <= p.data.size(); at += width) {
            std::string s = p.data.substr(at, width);
            s.erase(s.find_last_not_of(' ') + 1);
            out.push_back(s);
        }
        return out;
    }
    // LABELS, LABELS2, ... (or DESCRIPTIONS...) as one list.
    std::vector<std::string> list(const std::string& name) const {
        std::vector<std::string> out = strings("POINT:" + name);
        for (int n = 2; has("POINT:" + name + std::to_string(n)); ++n)
            for (const std::string& s : strings("POINT:" + name + std::to_string(n))) out.push_back(s);
        return out;
    }
    // POINT:FRAMES, an integer or (for long files) a float.
    int64_t frames() const {
        const Parameter& p = parameter("POINT:FRAMES");
        return p.type == 4 ? static_cast<int64_t>(number("POINT:FRAMES")) : integers("POINT:FRAMES").at(0);
    }
    // Point `point` of frame `frame` (0-based): x, y, z and the fourth word.
    std::array<float, 4> point(int64_t frame, int point) const {
        const size_t start = (integers("POINT:DATA_START").at(0) - size_t{1}) * 512;
        const size_t used = integers("POINT:USED").at(0);
        std::array<float, 4> v{};
        std::memcpy(v.data(), bytes_.data() + start + (frame * used + point) * 16, 16);
        return v;
    }
    size_t dataBytes() const {
        return bytes_.size() - (integers("POINT:DATA_START").at(0) - size_t{1}) * 512;
    }

    int processor = 0, blocks = 0;
    std::map<std::string, Parameter> parameters;  // "GROUP:NAME"

private:
    template <typename T>
    T value(size_t at) const {
        T v{};
        if (at + sizeof v <= bytes_.size()) std::memcpy(&v, bytes_.data() + at, sizeof v);
        return v;
    }
    static bool fail(const std::string& what, std::string& why) {
        why = what;
        return false;
    }

    std::string bytes_;
};

}  // namespace c3dtest
