// Fuzz target for snapwell's command line: arguments split at NUL bytes.
#include <fuzz_input.h>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("snapwell", data, size);
    const snapwell::ParseResult result = snapwell::parseOptions(line.argc(), line.argv());
    for (const int count : result.options.pointCounts)
        if (count < 0) __builtin_trap();
    return 0;
}
