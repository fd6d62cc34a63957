// Library error codes as printed in messages: lowercase hexadecimal digits
// of the 32-bit value, no prefix.
#pragma once

#include <string>

namespace vektk {

std::string HexText(int code);

}  // namespace vektk
