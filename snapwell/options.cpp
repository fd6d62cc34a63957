#include "options.h"

#include <text_scan.h>

#include <array>

namespace snapwell {

bool readInt(std::string_view text, int& value) {
    numerics::TextScanner scan(text.data(), text.size());
    return scan.readInt(value);
}

namespace {

bool isPointFile(std::string_view arg) {
    const auto dot = arg.rfind('.');
    return dot != std::string_view::npos && arg.substr(dot) == ".pt";
}

}  // namespace

ParseResult parseOptions(int argc, const char* const* argv) {
    ParseResult result;
    Options& o = result.options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasNext = i + 1 < argc;
        if ((arg == "-d" || arg == "-s") && hasNext) {
            o.server = argv[++i];
        } else if (arg == "-1" || arg == "-2" || arg == "-3" || arg == "-4") {
            o.flags |= (arg[1] - '0') << 8;
        } else if (arg == "-g") {
            o.global = true;
        } else if (arg == "-m" && hasNext) {
            readInt(argv[++i], o.max);
        } else if (arg == "-key" && hasNext) {
            o.keyFile = argv[++i];
        } else if (arg == "-o" && hasNext) {
            o.output = argv[++i];
        } else if (arg == "-c" && hasNext) {
            readInt(argv[++i], o.frames);
        } else if (isPointFile(arg)) {
            o.pointFiles.emplace_back(arg);
        } else if (arg == "-v") {
            o.verbose = true;
        } else if (arg == "-h") {
            result.action = ParseAction::Help;
            return result;
        } else {
            int count = 0;
            if (!readInt(arg, count)) {
                result.action = ParseAction::Usage;
                return result;
            }
            o.pointCounts.push_back(count);
        }
    }
    return result;
}

void printUsage(std::ostream& out, std::string_view program) {
    out << "usage:  " << program << " [-s server | -d device] [-v] [-h] [-g] -m max -o file point#\n";
}

void printHelp(std::ostream& out) {
    static constexpr std::array<const char*, 12> kLines = {
        "Rigid body capture utility version 2.0",
        "  -s server  server to contact",
        "  -d device  device to use",
        "  -v         verbose",
        "  -h         display this message and exit",
        "  -g         use global coordinate system",
        "  -m max     maximum number of markers in the rigid body",
        "  -o file    output rigid body file",
        "  -c         frame count (default 10)",
        "  point#     # of points",
        "  -key file  lab key file, for a server that asks for one (default:",
        "             VEK_KEY_FILE, else ~/.config/vek/key)",
    };
    for (const char* line : kLines) out << line << '\n';
}

}  // namespace snapwell
