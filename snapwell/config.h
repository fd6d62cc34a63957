// The ".vek_paint" pose file: 7 numbers, the pose applied to reported data.
#pragma once

#include <geometry.h>

#include <cstddef>
#include <string>
#include <variant>

namespace snapwell {

constexpr const char* kConfigFileName = ".vek_paint";
constexpr std::size_t kConfigPathSize = 256;

// The path did not fit its buffer; `needed` counts the terminating NUL.
struct ConfigPathTooLong {
    std::size_t needed;
};

// "<home>/.vek_paint", or ".vek_paint" when home is null.
std::variant<std::string, ConfigPathTooLong> configPath(const char* home);

enum class ConfigStatus {
    Read,        // pose replaced
    Missing,     // cannot be opened: pose unchanged
    Incomplete,  // fewer than 7 numbers: pose unchanged
    ReadError    // the stream failed hard
};

ConfigStatus readConfigPose(const std::string& path, numerics::Pose& pose);

}  // namespace snapwell
