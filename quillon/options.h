// quillon's command line: [-h] file.rb
#pragma once

#include <optional>
#include <ostream>
#include <string>

// Examines the arguments in order; the last rigid body file wins. Returns
// the exit status when the program should stop ("-h": usage and help, 0;
// an argument that is not a ".rb" file: usage, 1), otherwise nothing.
std::optional<int> ParseCommandLine(int argc, char** argv, std::string& file, std::ostream& out);
void PrintUsage(const char* program, std::ostream& out);
