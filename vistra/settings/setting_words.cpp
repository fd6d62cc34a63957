#include "settings/setting_words.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <ostream>

#include "line_reader.h"
#include "regular_file.h"

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

int ForEachSettingLine(const std::string& path, std::size_t maxLength, std::ostream& err,
                       const std::function<void(const std::string&)>& use) {
    std::string why;
    const vekwire::FileHandle file = vekwire::openRegularFileStream(path, why);
    if (!file) {
        // No file yet is the usual first start; anything else is worth a word.
        if (errno != ENOENT) err << "error: open(" << path << "): " << why << std::endl;
        return -1;
    }
    vektk::LineReader reader(file.get(), maxLength);
    std::string line;
    for (int number = 1;; ++number) {
        const vektk::LineReader::Result result = reader.Next(line);
        if (result == vektk::LineReader::Result::End) break;
        if (result == vektk::LineReader::Result::ReadError) {
            err << "error: read(" << path << "): " << std::strerror(errno) << std::endl;
            break;
        }
        if (result == vektk::LineReader::Result::TooLong) {
            err << "warning: " << path << ":" << number << ": line longer than " << maxLength
                << " characters skipped" << std::endl;
            continue;
        }
        if (!line.empty() && line[0] != '#') use(line);
    }
    return 0;
}

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
