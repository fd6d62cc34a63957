// vekrec's command line.
#pragma once

#include <optional>
#include <string>

namespace vekrec {

struct Options {
    std::optional<std::string> server;  // -s; else VEK_SERVER, else localhost
    std::string output;                 // -o, ends in ".vektake"
    std::optional<double> seconds;      // -t; else until Ctrl+C
    int leds = 32;                      // -n: the point tracker's LEDs when recording as master
    std::string keyFile;                // -key: the lab key, for a server that asks for one
    bool help = false;
};

// False with a message in `error` on a bad command line.
bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error);
std::string usageText();

// The take's file name: `name`, with ".vektake" added when it has another
// ending (a device or FIFO keeps its name, and is refused: a take goes to
// a regular file).
std::string takePath(const std::string& name);

}  // namespace vekrec
