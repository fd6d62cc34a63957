// vektake's command line: a command, one take file and the command's
// options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "points.h"

namespace taketool {

enum class Command { Info, Cut, Export };
enum class Format { C3d, Csv };

struct Options {
    Command command = Command::Info;
    std::string input;
    std::string output;           // -o: cut and export
    Format format = Format::C3d;  // export: from the ending of -o
    // --from / --to: microseconds from the take's first frame.
    std::optional<int64_t> fromUs, toUs;
    std::optional<PointSelection> leds;  // export --leds
    bool help = false;
};

// False with a message in `error` on a bad command line.
bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error);
std::string usageText();

}  // namespace taketool
