// Words and numbers of the "key: value" lines of the per-user settings files.
#pragma once

#include <string>
#include <vector>

// Up to `count` blank-separated words, as "%s %s ..." would read them.
std::vector<std::string> FirstWords(const std::string& line, std::size_t count);

// atoi without its undefined overflow: out-of-range values saturate, text
// that is no number reads as 0.
int ToInt(const std::string& text);
