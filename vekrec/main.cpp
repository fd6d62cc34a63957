// vekrec: records a vekd session into a take file (see recorder.h).
#include <unistd.h>

#include <iostream>

#include "options.h"
#include "recorder.h"
#include "stop_signals.h"

int main(int argc, char** argv) {
    vekrec::Options options;
    std::string error;
    if (!vekrec::parseOptions(argc, argv, options, error)) {
        std::cerr << "vekrec: " << error << '\n' << vekrec::usageText();
        return vekrec::kExitUsage;
    }
    if (options.help) {
        std::cout << vekrec::usageText();
        return vekrec::kExitSuccess;
    }
    vektk::InstallStopSignals();
    return vekrec::record(options, std::cout, std::cerr, isatty(STDOUT_FILENO));
}
