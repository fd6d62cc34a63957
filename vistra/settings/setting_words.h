// Lines, words and numbers of the "key: value" lines of the per-user
// settings files.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Hands every line of `path` that is neither empty nor a comment ('#') to
// `use`, in order. A line longer than maxLength is reported to `err` and
// skipped; a read error is reported and ends the reading. -1 when the file
// cannot be opened, which is reported unless there is no such file; only a
// regular file is read (a FIFO is refused, never waited on). Else 0.
int ForEachSettingLine(const std::string& path, std::size_t maxLength, std::ostream& err,
                       const std::function<void(const std::string&)>& use);

// Up to `count` blank-separated words, as "%s %s ..." would read them.
std::vector<std::string> FirstWords(const std::string& line, std::size_t count);

// atoi without its undefined overflow: out-of-range values saturate, text
// that is no number reads as 0.
int ToInt(const std::string& text);
