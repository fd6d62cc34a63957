// Fuzz target for the Settings dock's ".tavrix" file.
#include <fuzz_input.h>

#include <sstream>

#include "settings/tavrix_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const vekfuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    TavrixRead read;
    std::ostringstream out, err;
    if (ReadTavrix(file.path(), read, out, err) != 0) __builtin_trap();
    // Option items index the dock's boxes.
    if (read.modeItem && (*read.modeItem < 0 || *read.modeItem >= static_cast<int>(kModeTexts.size())))
        __builtin_trap();
    if (read.frequencyItem &&
        (*read.frequencyItem < 0 || *read.frequencyItem >= static_cast<int>(kFrequencyTexts.size())))
        __builtin_trap();
    if (read.postprocessItem &&
        (*read.postprocessItem < 0 || *read.postprocessItem >= static_cast<int>(kPostprocessTexts.size())))
        __builtin_trap();
    return 0;
}
