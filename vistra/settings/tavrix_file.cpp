#include "settings/tavrix_file.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "printable_text.h"
#include "settings/setting_words.h"

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

int frequencyItem(double hz) {
    for (std::size_t i = 0; i < kFrequencyTexts.size(); ++i)
        if (hz == std::atof(kFrequencyTexts[i])) return static_cast<int>(i);
    return 0;
}

// "server: address name": the name may hold blanks.
ServerAlias aliasOf(const std::string& line) {
    std::size_t p = line.find("server:") + std::strlen("server:");
    if (p < line.size() && line[p] == ' ')
        ++p;
    else
        while (p < line.size() && isBlank(line[p])) ++p;
    const std::string rest = line.substr(p);
    const std::size_t blank = rest.find(' ');
    if (blank == std::string::npos) return {rest, ""};
    return {rest.substr(0, blank), rest.substr(blank + 1)};
}

void readOption(const std::string& key, const std::string& value, const std::string& path, TavrixRead& read,
                std::ostream& err) {
    if (key == "server:") {
        read.servers.entries.push_back(value);
    } else if (key == "mode:") {
        // Items the box does not have leave it as it is.
        const int item = ToInt(value);
        if (item >= 0 && item < static_cast<int>(kModeTexts.size())) read.modeItem = item;
    } else if (key == "frequency:") {
        read.frequencyItem = frequencyItem(std::atof(value.c_str()));
    } else if (key == "postprocess:") {
        read.postprocessItem = ToInt(value) == 1 ? 1 : 0;
    } else if (key == "interpolate:") {
        read.interpolate = ToInt(value);
    } else {
        err << "unknown token: " << vekwire::printable(key) << " in " << path << std::endl;
    }
}

}  // namespace

int ReadTavrix(const std::string& path, TavrixRead& read, std::ostream& out, std::ostream& err) {
    return ForEachSettingLine(path, kTavrixLineLength, err, [&](const std::string& line) {
        const std::vector<std::string> words = FirstWords(line, 3);
        if (words.size() == 3) {
            if (words[0] != "server:") return;
            const ServerAlias alias = aliasOf(line);
            out << "loading alias: " << vekwire::printable(alias.name) << "("
                << vekwire::printable(alias.address) << ")" << std::endl;
            read.servers.aliases.push_back(alias);
            read.servers.entries.push_back(alias.name);
        } else if (words.size() == 2) {
            readOption(words[0], words[1], path, read, err);
        } else {
            err << "unknown configuration: " << vekwire::printable(line) << std::endl;
        }
    });
}

std::string TavrixText(const TavrixSave& save) {
    std::string text;
    for (const ServerAlias& server : save.servers)
        text += "server: " + server.address + " " + server.name + "\n";
    text += "mode: " + save.mode + "\n";
    text += "frequency: " + save.frequency + "\n";
    text += "postprocess: " + std::to_string(save.postprocess) + "\n";
    text += "interpolate: " + std::to_string(save.interpolate) + "\n";
    return text;
}

std::vector<ServerAlias> ServersToSave(const std::string& current, const std::vector<std::string>& boxEntries,
                                       const std::vector<ServerAlias>& aliases) {
    std::vector<ServerAlias> servers;
    if (current.find('<') != std::string::npos) return servers;
    auto add = [&](const std::string& text) {
        const ServerAlias* alias = FindAlias(aliases, text);
        servers.push_back({alias ? alias->address : std::string(), text});
    };
    add(current);
    for (std::size_t i = 0; i + 1 < boxEntries.size(); ++i)
        if (boxEntries[i] != current) add(boxEntries[i]);
    return servers;
}
