#include "ros_mapping.h"

#include <time.h>

#include <cmath>
#include <cstring>

namespace vekdds {

namespace {

int64_t clockNs(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool finite(const float* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

bool tokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

Vec3 rep103Axes(const Vec3& c) { return {c.x, -c.z, c.y}; }

Vec3 rep103Position(const float mm[3]) {
    const Vec3 v = rep103Axes({mm[0], mm[1], mm[2]});
    return {v.x / 1000, v.y / 1000, v.z / 1000};
}

Quaternion rep103Rotation(const float wxyz[4]) {
    const Vec3 axis = rep103Axes({wxyz[1], wxyz[2], wxyz[3]});
    return {axis.x, axis.y, axis.z, wxyz[0]};
}

Stamp stampOf(int64_t ns) {
    int64_t sec = ns / 1'000'000'000, rest = ns % 1'000'000'000;
    if (rest < 0) --sec, rest += 1'000'000'000;
    return {static_cast<int32_t>(sec), static_cast<uint32_t>(rest)};
}

int64_t realtimeNowNs() { return clockNs(CLOCK_REALTIME); }

int64_t realtimeMinusSteadyNs() {
    // A reading cut by the scheduler takes longer and is less exact.
    int64_t best = 0, bestGap = INT64_MAX;
    for (int i = 0; i < 3; ++i) {
        const int64_t before = clockNs(CLOCK_MONOTONIC);
        const int64_t real = clockNs(CLOCK_REALTIME);
        const int64_t after = clockNs(CLOCK_MONOTONIC);
        if (after - before < bestGap) {
            bestGap = after - before;
            best = real - (before + (after - before) / 2);
        }
    }
    return best;
}

bool validRosToken(const std::string& t) {
    if (t.empty() || t.size() > kMaxNameLength || (t[0] >= '0' && t[0] <= '9') ||
        t.find("__") != std::string::npos)
        return false;
    for (const char c : t)
        if (!tokenChar(c)) return false;
    return true;
}

bool validRosNamespace(const std::string& name) {
    if (name.size() > kMaxNameLength) return false;
    size_t start = 0;
    for (;;) {
        const size_t slash = name.find('/', start);
        if (!validRosToken(name.substr(start, slash - start))) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

bool validFrameId(const std::string& id) {
    if (id.empty() || id.size() > 128 || id[0] == '/') return false;
    for (const char c : id)
        if (!tokenChar(c) && c != '-' && c != '.' && c != '/') return false;
    return true;
}

std::string trackerName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string trackerName(int trackerId) { return "tracker" + std::to_string(trackerId); }

std::string poseTopic(const std::string& prefix, const std::string& tracker) {
    return "/" + prefix + "/" + tracker + "/pose";
}

std::string markersTopic(const std::string& prefix) { return "/" + prefix + "/markers"; }

std::string ddsTopic(const std::string& rosTopic) { return "rt" + rosTopic; }

void toRos(const vekwire::FrameView& frame, int64_t stampNs, RosFrame& out) {
    out.frame = frame.header.frame;
    out.generatedUs = frame.header.generatedUs;
    out.stamp = stampOf(stampNs);
    out.bodies.clear();
    out.markers.clear();
    for (uint32_t i = 0; i < frame.count[VEK_RIGID_STREAM]; ++i) {
        RigidRecord r;
        std::memcpy(&r, frame.records[VEK_RIGID_STREAM] + i * sizeof r, sizeof r);
        if (!(r.cond > 0) || !finite(r.pose, 7)) continue;
        out.bodies.push_back({r.id, rep103Position(r.pose), rep103Rotation(r.pose + 3)});
    }
    for (uint32_t i = 0; i < frame.count[VEK_MARKER_STREAM]; ++i) {
        MarkerRecord m;
        std::memcpy(&m, frame.records[VEK_MARKER_STREAM] + i * sizeof m, sizeof m);
        const float xyz[3] = {m.x, m.y, m.z};
        if (!(m.cond > 0) || (m.flags & VEK_MARKER_FILLED) || !finite(xyz, 3)) continue;
        const Vec3 p = rep103Position(xyz);
        out.markers.push_back({static_cast<uint32_t>(m.id), static_cast<float>(p.x), static_cast<float>(p.y),
                               static_cast<float>(p.z)});
    }
}

}  // namespace vekdds
