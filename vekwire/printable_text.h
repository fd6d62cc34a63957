// Text from outside (a client's label, a line or an alias read from a
// file) as it may be printed to a terminal or a log: control characters
// and the backslash escaped, so that it can neither end a line, forge
// one, nor send escape sequences to the terminal.
#pragma once

#include <string>
#include <string_view>

namespace vekwire {

// "\\" for a backslash, "\n" for a line break, "\xhh" for any other
// control character (below 0x20, and 0x7f); every other byte as it is.
std::string printable(std::string_view text);

}  // namespace vekwire
