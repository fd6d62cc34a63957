// vekrec's work: connect to vekd (as a slave when a master is there, else
// as master with a point tracker), switch every stream on, and write every
// frame to a take file until -t runs out, Ctrl+C, or the server goes.
#pragma once

#include <iosfwd>

#include "options.h"

namespace vekrec {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Records as the options say; answers the exit status: 0 for a take ended
// by -t or a signal, 1 when nothing could be recorded or the connection
// ended first (a take is written all the same when frames came).
// `progressLine`: keep one line of progress up to date on `out`.
int record(const Options& options, std::ostream& out, std::ostream& err, bool progressLine);

}  // namespace vekrec
