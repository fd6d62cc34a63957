// Reads numbers from a bounded piece of text the way "%d" and "%f" do:
// leading white space skipped, an optional sign, nothing else consumed.
// Out-of-range values count as a failed read.
#pragma once

#include <cstddef>

namespace numerics {

class TextScanner {
public:
    TextScanner(const char* text, std::size_t length) : pos_(text), end_(text + length) {}

    bool readInt(int& value);
    bool readFloat(float& value);
    // Consumes `c` when it is the next character (no white space skipped).
    bool readChar(char c);
    void skipSpace();

private:
    const char* pos_;
    const char* end_;
};

}  // namespace numerics
