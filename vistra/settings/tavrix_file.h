// The per-user connection settings file ".tavrix": the server entries of
// the Settings dock (with the names aliases are shown by) and its streaming
// options, one "key: value" line each.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "settings/server_list.h"

inline constexpr const char* kTavrixFileName = ".tavrix";
// The longest line read; a longer one is reported and skipped.
inline constexpr std::size_t kTavrixLineLength = 1023;

// Items of the dock's option boxes, in order.
inline constexpr std::array<const char*, 5> kModeTexts = {"Default", "1", "2", "3", "4"};
inline constexpr std::array<const char*, 5> kFrequencyTexts = {"480", "240", "120", "60", "30"};
inline constexpr std::array<const char*, 2> kPostprocessTexts = {"Off", "On"};

// What a ".tavrix" sets; an option the file does not name stays unset.
struct TavrixRead {
    ServerList servers;  // in file order; "server: address name" lines are aliases
    std::optional<int> modeItem;
    std::optional<int> frequencyItem;
    std::optional<int> postprocessItem;
    std::optional<int> interpolate;
};

// Reads `path`: -1 when it cannot be opened, else 0. "loading alias: "
// lines go to `out`, unknown lines and skipped long lines to `err`.
int ReadTavrix(const std::string& path, TavrixRead& read, std::ostream& out, std::ostream& err);

// What the dock writes.
struct TavrixSave {
    std::vector<ServerAlias> servers;  // in the order written; a plain entry has no address
    std::string mode;                  // the mode box's text
    std::string frequency;             // the frequency box's text
    int postprocess = 0;               // the post-processing box's item
    int interpolate = 0;
};
std::string TavrixText(const TavrixSave& save);

// The server lines to write: none while the current text holds '<' (the
// "<find servers>" entry), else the current text first, then every entry of
// the box but its last ("<find servers>") and those equal to the current
// text; each with the address of the alias shown under its text.
std::vector<ServerAlias> ServersToSave(const std::string& current, const std::vector<std::string>& boxEntries,
                                       const std::vector<ServerAlias>& aliases);
