// snapwell from command line to exit status.
#pragma once

namespace snapwell {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitInitFailed = -1;

int runSnapwell(int argc, const char* const* argv);

}  // namespace snapwell
