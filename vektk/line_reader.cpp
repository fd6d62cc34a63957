#include "line_reader.h"

namespace vektk {

LineReader::LineReader(std::FILE* file, std::size_t maxLength) : file_(file), maxLength_(maxLength) {}

LineReader::Result LineReader::Next(std::string& line) {
    line.clear();
    bool tooLong = false;
    int c;
    while ((c = std::getc(file_)) != EOF && c != '\n') {
        if (line.size() < maxLength_) {
            line.push_back(static_cast<char>(c));
        } else {
            tooLong = true;
        }
    }
    if (std::ferror(file_)) return Result::ReadError;
    if (tooLong) return Result::TooLong;
    if (c == EOF && line.empty()) return Result::End;
    return Result::Line;
}

}  // namespace vektk
