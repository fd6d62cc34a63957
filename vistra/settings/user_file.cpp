#include "settings/user_file.h"

#include <cstdlib>

std::string UserFilePath(const std::string& name) {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return name;
    return std::string(home) + '/' + name;
}
