// Fuzz target for quillon's command line: arguments split at NUL bytes.
// Whatever the arguments, the parser stops with 0 or 1, or names a file
// that ends in ".rb".
#include <fuzz_input.h>

#include <sstream>
#include <string>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("quillon", data, size);
    std::string file;
    std::ostringstream out;
    const auto status = ParseCommandLine(line.argc(), line.argv(), file, out);
    if (status && *status != 0 && *status != 1) __builtin_trap();
    if (!status && !file.empty() && (file.size() < 3 || file.compare(file.size() - 3, 3, ".rb") != 0))
        __builtin_trap();
    return 0;
}
