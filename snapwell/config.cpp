#include "config.h"

#include <regular_file.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

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
    // Only a regular file: a FIFO is refused, never waited on.
    std::string text, why;
    const vekwire::UniqueFd file = vekwire::openRegularFile(path, why);
    if (!file.valid()) return errno == 0 ? ConfigStatus::ReadError : ConfigStatus::Missing;
    if (!vekwire::readAll(file.get(), text)) return ConfigStatus::ReadError;
    std::istringstream in(text);
    numerics::Pose read{};
    for (float& v : read) in >> v;
    if (in.bad()) return ConfigStatus::ReadError;
    if (in.fail()) return ConfigStatus::Incomplete;
    pose = read;
    return ConfigStatus::Read;
}

}  // namespace snapwell
