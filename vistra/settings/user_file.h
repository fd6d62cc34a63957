// Where a per-user settings file lives.
#pragma once

#include <string>

// HOME + '/' + name; just `name` (the working directory) when HOME is unset
// or empty (an empty HOME would otherwise put the file in the root folder).
std::string UserFilePath(const std::string& name);
