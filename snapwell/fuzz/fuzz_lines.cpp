// Fuzz target for the text lines snapwell and the views read: point-file
// marker lines and orientation-file lines.
#include "point_file.h"

#include <geometry.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    int led = 0;
    snapwell::parsePointLine(text, size, led);

    float m[16] = {};
    if (numerics::parseOrientationLine(text, size, m)) {
        for (const float v : m)
            if (!std::isfinite(v)) __builtin_trap();
    }
    return 0;
}
