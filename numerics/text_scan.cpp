#include "text_scan.h"

#include <cctype>
#include <charconv>

namespace numerics {

namespace {

// from_chars takes no '+'; a sign followed by another sign is no number.
const char* skipPlus(const char* p, const char* end) {
    if (p != end && *p == '+' && (p + 1 == end || (p[1] != '-' && p[1] != '+'))) return p + 1;
    return p;
}

template <typename T>
bool readNumber(const char*& pos, const char* end, T& value) {
    const char* p = skipPlus(pos, end);
    T parsed{};
    auto [next, ec] = std::from_chars(p, end, parsed);
    if (ec != std::errc() || next == p) return false;
    value = parsed;
    pos = next;
    return true;
}

}  // namespace

void TextScanner::skipSpace() {
    while (pos_ != end_ && std::isspace(static_cast<unsigned char>(*pos_))) ++pos_;
}

bool TextScanner::readChar(char c) {
    if (pos_ == end_ || *pos_ != c) return false;
    ++pos_;
    return true;
}

bool TextScanner::readInt(int& value) {
    skipSpace();
    return readNumber(pos_, end_, value);
}

bool TextScanner::readFloat(float& value) {
    skipSpace();
    return readNumber(pos_, end_, value);
}

}  // namespace numerics
