#include "config.h"

#include <cstdio>
#include <fstream>

namespace snapwell {

std::variant<std::string, ConfigPathTooLong> configPath(const char* home) {
    char buf[kConfigPathSize];
    const int n = home ? std::snprintf(buf, sizeof buf, "%s/%s", home, kConfigFileName)
                       : std::snprintf(buf, sizeof buf, "%s", kConfigFileName);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof buf)
        return ConfigPathTooLong{static_cast<std::size_t>(n < 0 ? 0 : n) + 1};
    return std::string(buf, static_cast<std::size_t>(n));
}

ConfigStatus readConfigPose(const std::string& path, numerics::Pose& pose) {
    std::ifstream in(path);
    if (!in) return ConfigStatus::Missing;
    numerics::Pose read{};
    for (float& v : read) in >> v;
    if (in.bad()) return ConfigStatus::ReadError;
    if (in.fail()) return ConfigStatus::Incomplete;
    pose = read;
    return ConfigStatus::Read;
}

}  // namespace snapwell
