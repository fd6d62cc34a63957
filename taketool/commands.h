// vektake's commands, each from its options to an exit status. Results go
// to `out`; "vektake: error: " and "vektake: warning: " lines to `err`;
// progress on `out` when it is a terminal.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "options.h"

namespace taketool {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int runInfo(const Options& options, std::ostream& out, std::ostream& err, bool terminal);
int runCut(const Options& options, std::ostream& out, std::ostream& err, bool terminal);
int runExport(const Options& options, std::ostream& out, std::ostream& err, bool terminal);

// Prints "vektake: error: message" and answers kExitFailure.
int failure(std::ostream& err, const std::string& message);
void warning(std::ostream& err, const std::string& message);
// "12.345 s" of microseconds.
std::string seconds(int64_t us);
// "12.3 MB".
std::string megabytes(uint64_t bytes);
// "960 Hz".
std::string hertz(float frequency);

}  // namespace taketool
