#include "point_file.h"

#include <printable_text.h>
#include <text_scan.h>

#include <fstream>

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
    std::ifstream in(path);
    if (!in) {
        err << "error opening " << path << '\n';
        return false;
    }
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
