#include "window/vistrast_file.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <vector>

#include "atomic_file.h"
#include "printable_text.h"
#include "settings/setting_words.h"
#include "settings/user_file.h"

namespace {

void applyLine(const std::string& line, const std::string& path, WindowSettings& settings,
               std::ostream& err) {
    const std::vector<std::string> words = FirstWords(line, 2);
    if (words.size() < 2 || words[0].size() > kVistrastWordLength || words[1].size() > kVistrastWordLength) {
        err << "unknown configuration: " << vekwire::printable(line) << std::endl;
        return;
    }
    const int value = ToInt(words[1]);
    if (words[0] == "configVisible:") {
        settings.configVisible = value;
    } else if (words[0] == "trackersVisible:") {
        settings.trackersVisible = value;
    } else if (words[0] == "marker_max:") {
        settings.markerMax = value;
    } else {
        err << "unknown token: " << vekwire::printable(words[0]) << " in " << path << std::endl;
    }
}

}  // namespace

std::string SettingsPath() { return UserFilePath(kVistrastFileName); }

WindowSettings ReadWindowSettings(const std::string& path, std::ostream& err) {
    WindowSettings settings;
    ForEachSettingLine(path, kVistrastLineLength, err,
                       [&](const std::string& line) { applyLine(line, path, settings, err); });
    return settings;
}

std::string WindowSettingsText(bool configVisible, bool trackersVisible, int markerMax) {
    return "configVisible: " + std::to_string(configVisible ? 1 : 0) + "\n" +
           "trackersVisible: " + std::to_string(trackersVisible ? 1 : 0) + "\n" +
           "marker_max: " + std::to_string(markerMax) + "\n";
}

bool WriteWindowSettings(const std::string& path, const std::string& text, std::ostream& err) {
    const vektk::AtomicWriteResult r = vektk::WriteFileAtomically(path, text);
    if (r.status == vektk::AtomicWriteStatus::Written) return true;
    err << "error: " << (r.status == vektk::AtomicWriteStatus::OpenFailed ? "open(" : "write(") << path
        << "): " << std::strerror(r.error) << std::endl;
    return false;
}
