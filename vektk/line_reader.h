// Reads a text file line by line with a bounded line length.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace vektk {

class LineReader {
public:
    enum class Result { Line, TooLong, End, ReadError };

    // maxLength: the longest line accepted, without its line break.
    LineReader(std::FILE* file, std::size_t maxLength);

    // Line: `line` holds the next line without its line break (a last line
    // without a break counts). TooLong: `line` holds its first maxLength
    // characters; reading should stop. End / ReadError: nothing more.
    Result Next(std::string& line);

private:
    std::FILE* file_;
    std::size_t maxLength_;
};

}  // namespace vektk
