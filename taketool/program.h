// vektake from command line to exit status.
#pragma once

#include <iosfwd>

namespace taketool {

// `terminal`: `out` is a terminal, where long work shows its progress.
int runVektake(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal);

// SIGINT and SIGTERM stop the work; nothing half-written is left.
void installStopSignals();

}  // namespace taketool
