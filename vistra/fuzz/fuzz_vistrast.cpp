// Fuzz target for the window settings file ".vistrast".
#include <fuzz_input.h>

#include <sstream>

#include "window/vistrast_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vekfuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    std::ostringstream err;
    ReadWindowSettings(file.path(), err);
    // Every report is a whole line.
    if (!err.str().empty() && err.str().back() != '\n') __builtin_trap();
    return 0;
}
