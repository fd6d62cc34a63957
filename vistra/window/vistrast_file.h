// The per-user window settings file ".vistrast": whether the Settings dock
// and the tracker bar are shown, and the tracker bar's "Max Markers".
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

inline constexpr const char* kVistrastFileName = ".vistrast";
// The longest line and the longest word read; longer ones are reported and
// skipped.
inline constexpr std::size_t kVistrastLineLength = 1023;
inline constexpr std::size_t kVistrastWordLength = 255;

// HOME/.vistrast, or .vistrast in the working directory without HOME.
std::string SettingsPath();

// What a ".vistrast" sets; a key the file does not name stays unset.
struct WindowSettings {
    std::optional<int> configVisible;
    std::optional<int> trackersVisible;
    std::optional<int> markerMax;
};

// Reads `path` (nothing when it cannot be opened); malformed lines and
// unknown keys are reported to `err` and skipped. A later line for the same
// key wins.
WindowSettings ReadWindowSettings(const std::string& path, std::ostream& err);

// The three lines, in the order they are written.
std::string WindowSettingsText(bool configVisible, bool trackersVisible, int markerMax);

// Writes the file atomically; a failure is reported to `err`.
bool WriteWindowSettings(const std::string& path, const std::string& text, std::ostream& err);
