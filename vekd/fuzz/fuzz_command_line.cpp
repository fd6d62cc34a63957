// Fuzz target for vekd's command line: arguments split at NUL bytes.
#include <fuzz_input.h>

#include <cmath>

#include "options.h"
#include "vek_types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("vekd", data, size);
    vekd::Options options;
    std::string error;
    if (vekd::parseOptions(line.argc(), line.argv(), options, error)) {
        if (options.frequencySet && !vekd::validFrequency(options.frequency)) __builtin_trap();
        if (options.maxClients < 1) __builtin_trap();
        for (const int camera : options.uncalibrated)  // numbered from 1, as the windows show them
            if (camera < 1 || camera > VEK_MAX_CAMERAS) __builtin_trap();
        // Beyond loopback only with a key, or without one said explicitly.
        if (vekd::beyondLoopback(options.bind) && options.keyFile.empty() && !options.noKey) __builtin_trap();
        if (options.observersWithoutKey && options.keyFile.empty()) __builtin_trap();
        // The simulated clock and link stay in their ranges, finite.
        if (!(std::fabs(options.clockOffsetS) <= vekd::kMaxClockOffsetS) ||
            !(std::fabs(options.clockDriftPpm) <= vekd::kMaxClockDriftPpm) ||
            !(options.linkDelayMs >= 0 && options.linkDelayMs <= vekd::kMaxLinkDelayMs) ||
            !(options.linkJitterMs >= 0 && options.linkJitterMs <= options.linkDelayMs))
            __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();  // a refusal always says why
    }
    return 0;
}
