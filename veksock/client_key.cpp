#include "client_key.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>

namespace veksock {

namespace {

struct KeyState {
    std::mutex mutex;
    std::shared_ptr<const vekwire::LabKey> given;  // by vekLoadKey
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

// The key in `path`, or null with the problem noted.
std::shared_ptr<const vekwire::LabKey> read(const std::string& path) {
    auto key = std::make_shared<vekwire::LabKey>();
    std::string why;
    if (vekwire::LabKey::read(path, *key, why)) return key;
    KeyState& s = state();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.problem = "lab key file " + why;
    return nullptr;
}

}  // namespace

bool loadKey(const char* path) {
    std::shared_ptr<const vekwire::LabKey> key;
    if (path && !(key = read(path))) return false;
    KeyState& s = state();
    const std::lock_guard<std::mutex> lock(s.mutex);
    s.given = std::move(key);
    return true;
}

bool connectionKey(std::shared_ptr<const vekwire::LabKey>& key) {
    {
        KeyState& s = state();
        const std::lock_guard<std::mutex> lock(s.mutex);
        key = s.given;
    }
    if (key) return true;
    const std::string path = lookUpPath();
    return path.empty() || (key = read(path)) != nullptr;
}

std::string keyProblem() {
    KeyState& s = state();
    const std::lock_guard<std::mutex> lock(s.mutex);
    return s.problem;
}

}  // namespace veksock
