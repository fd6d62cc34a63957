#include "point_file.h"

#include <printable_text.h>
#include <regular_file.h>
#include <text_scan.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace snapwell {

bool parsePointLine(const char* text, std::size_t length, int& led) {
    numerics::TextScanner scan(text, length);
    int value = 0;
    if (!scan.readInt(value)) return false;
    led = value;
    if (!scan.readChar(',')) return true;  // "%d" alone
    float xyz[3];
    int fields = 0;
    while (fields < 3 && scan.readFloat(xyz[fields])) ++fields;
    return fields == 0 || fields == 3;
}

bool readPointFile(const std::string& path, std::vector<int>& leds, std::ostream& err) {
    // Only a regular file: a FIFO is refused, never waited on.
    std::string text, why;
    const vekwire::UniqueFd file = vekwire::openRegularFile(path, why);
    if (!file.valid() || !vekwire::readAll(file.get(), text)) {
        err << "error opening " << path << ": " << (file.valid() ? std::strerror(errno) : why) << '\n';
        return false;
    }
    std::istringstream in(text);
    std::string line;
    for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
        if (!line.empty() && line[0] == '#') continue;
        int led = 0;
        if (line.size() > kPointLineMax || !parsePointLine(line.data(), line.size(), led)) {
            err << path << ':' << lineNumber << ": invalid string: " << vekwire::printable(line) << '\n';
            return false;
        }
        leds.push_back(led);
    }
    return true;
}

}  // namespace snapwell
