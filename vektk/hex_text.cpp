#include "hex_text.h"

#include <cstdio>

namespace vektk {

std::string HexText(int code) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(code));
    return digits;
}

}  // namespace vektk
