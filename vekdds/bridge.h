// vekdds's work: join the server (as a slave when a master is connected,
// else as master defining the tracker files), then publish every frame on
// DDS as it arrives, until SIGINT, SIGTERM or the server goes. Once a
// second a line says what went out.
#pragma once

#include <iosfwd>

#include "options.h"

namespace vekdds {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Runs the bridge; answers the exit status: 0 when a signal ended it, 1
// when it could not start or the connection ended first.
// `environmentDomain`: ROS_DOMAIN_ID as the environment holds it (or null).
int runBridge(const Options& options, const char* environmentDomain, std::ostream& out, std::ostream& err);

}  // namespace vekdds
