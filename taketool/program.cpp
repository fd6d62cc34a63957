#include "program.h"

#include <signal.h>

#include <cstdio>
#include <ostream>

#include "commands.h"
#include "frame_walk.h"

namespace taketool {

namespace {

void onStopSignal(int) { requestStop(); }

}  // namespace

int failure(std::ostream& err, const std::string& message) {
    err << "vektake: error: " << message << std::endl;
    return kExitFailure;
}

void warning(std::ostream& err, const std::string& message) {
    err << "vektake: warning: " << message << std::endl;
}

std::string seconds(int64_t us) {
    char text[40];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(us) / 1e6);
    return text;
}

std::string megabytes(uint64_t bytes) {
    char text[40];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string hertz(float frequency) {
    char text[40];
    std::snprintf(text, sizeof text, "%g Hz", static_cast<double>(frequency));
    return text;
}

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int runVektake(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        err << "vektake: error: " << error << '\n' << usageText() << std::flush;
        return kExitUsage;
    }
    if (options.help) {
        out << usageText() << std::flush;
        return kExitSuccess;
    }
    switch (options.command) {
        case Command::Info:
            return runInfo(options, out, err, terminal);
        case Command::Cut:
            return runCut(options, out, err, terminal);
        case Command::Export:
            return runExport(options, out, err, terminal);
    }
    return kExitUsage;
}

}  // namespace taketool
