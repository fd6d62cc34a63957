// The command line of snapwell.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace snapwell {

struct Options {
    std::optional<std::string> server;
    std::optional<std::string> keyFile;  // the lab key, for a server that asks for one
    int32_t flags = 0;
    bool global = false;
    int max = 0;
    std::optional<std::string> output;
    int frames = 10;
    bool verbose = false;
    std::vector<int> pointCounts;
    std::vector<std::string> pointFiles;
};

enum class ParseAction {
    Run,
    Help,  // "-h": usage line and help text
    Usage  // an argument that is neither an option nor a point count
};

struct ParseResult {
    Options options;
    ParseAction action = ParseAction::Run;
};

ParseResult parseOptions(int argc, const char* const* argv);

// Reads an integer the way "%d" does; false when there is none or it
// does not fit an int.
bool readInt(std::string_view text, int& value);

void printUsage(std::ostream& out, std::string_view program);
void printHelp(std::ostream& out);

}  // namespace snapwell
