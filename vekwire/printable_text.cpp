#include "printable_text.h"

#include <cstdio>

namespace vekwire {

std::string printable(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '\\') {
            out += "\\\\";
        } else if (ch == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace vekwire
