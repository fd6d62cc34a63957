// The machine's load average over 1 and 5 minutes ("1.70 4.54"), for the
// drivers that end each line of figures with it.
#pragma once

#include <cstdio>
#include <string>

inline std::string loadAverage() {
    char text[64] = "?";
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(text, sizeof text, f)) text[0] = '\0';
        std::fclose(f);
    }
    std::string load(text);
    return load.substr(0, load.find(' ', load.find(' ') + 1));
}
