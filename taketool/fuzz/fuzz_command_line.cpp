// Fuzz target for vektake's command line: arguments split at NUL bytes.
// A command line is refused with a reason, or gives options the commands
// can run: a take file, an output where the command writes one, a stretch
// that ends after it starts, an export format from the output's ending.
#include <fuzz_input.h>

#include "options.h"
#include "vek_types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("vektake", data, size);
    taketool::Options o;
    std::string error;
    if (!taketool::parseOptions(line.argc(), line.argv(), o, error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (o.help) return 0;
    if (o.input.empty()) __builtin_trap();
    if ((o.command == taketool::Command::Info) != o.output.empty()) __builtin_trap();
    if (o.fromUs && (*o.fromUs < 0 || (o.toUs && *o.toUs <= *o.fromUs))) __builtin_trap();
    if (o.leds && (o.command != taketool::Command::Export || o.leds->ranges.empty())) __builtin_trap();
    for (const auto& r : o.leds ? o.leds->ranges : std::vector<taketool::PointSelection::Range>{})
        if (r.first > r.last || r.first < 0 || r.last >= VEK_MARKERS_PER_TRACKER) __builtin_trap();
    return 0;
}
