// Fuzz target for snapwell's command line: arguments split at NUL bytes.
// (Point counts and the frame count are checked by the program after
// parsing, so any int may come out of here.)
#include <fuzz_input.h>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("snapwell", data, size);
    snapwell::parseOptions(line.argc(), line.argv());
    return 0;
}
