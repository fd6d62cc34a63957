// Fuzz target for the viewer's command line (vistra's): arguments split at
// NUL bytes.
#include <fuzz_input.h>

#include <sstream>

#include "app/viewer_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("vistra", data, size);
    std::ostringstream out;
    ViewerOptions options("Vistra Utility", out);
    options.parse(line.argc(), line.argv());
    if (!(options.fps > 0)) __builtin_trap();
    return 0;
}
