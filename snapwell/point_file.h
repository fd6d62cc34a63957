// Point files (".pt") as snapwell reads them: one LED per marker line,
// "%d" or "%d, %f %f %f"; positions are read but not used.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace snapwell {

constexpr std::size_t kPointLineMax = 255;

// The LED of a marker line; false for any line that is neither form.
bool parsePointLine(const char* text, std::size_t length, int& led);

// Appends the LEDs of the file's marker lines to `leds`. On an unreadable
// file, an invalid line or a line longer than kPointLineMax, prints the
// message to `err` (a line named by its number in the file, from 1) and
// returns false.
bool readPointFile(const std::string& path, std::vector<int>& leds, std::ostream& err);

}  // namespace snapwell
