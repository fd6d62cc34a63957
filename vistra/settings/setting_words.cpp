#include "settings/setting_words.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::vector<std::string> FirstWords(const std::string& line, std::size_t count) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (words.size() < count) {
        while (i < line.size() && isBlank(line[i])) ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

int ToInt(const std::string& text) {
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}
