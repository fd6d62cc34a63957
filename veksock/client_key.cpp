#include "client_key.h"

#include <sys/stat.h>

#include <cstdlib>

namespace veksock {

namespace {

struct KeyState {
    bool given = false;          // vekLoadKey named the file
    vekwire::LabKey key;         // the key given, or the one looked up last
    std::string problem;
};

KeyState& state() {
    static KeyState s;
    return s;
}

// The file to look at without a key given: empty for none.
std::string lookUpPath() {
    if (const char* named = std::getenv("VEK_KEY_FILE"); named && *named) return named;
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    std::string path = std::string(home) + "/.config/vek/key";
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? path : std::string();
}

bool read(const std::string& path, KeyState& s) {
    std::string why;
    if (vekwire::LabKey::read(path, s.key, why)) return true;
    s.problem = "lab key file " + why;
    return false;
}

}  // namespace

bool loadKey(const char* path) {
    KeyState& s = state();
    if (!path) {
        s.given = false;
        s.key = {};
        return true;
    }
    if (!read(path, s)) return false;
    s.given = true;
    return true;
}

bool connectionKey(const vekwire::LabKey*& key) {
    KeyState& s = state();
    key = nullptr;
    if (!s.given) {
        s.key = {};
        const std::string path = lookUpPath();
        if (path.empty()) return true;
        if (!read(path, s)) return false;
    }
    key = &s.key;
    return true;
}

const std::string& keyProblem() { return state().problem; }

}  // namespace veksock
