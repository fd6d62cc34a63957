// The servers the Settings dock offers: entries as shown in its server box,
// and aliases that stand for an address under a name.
#pragma once

#include <string>
#include <vector>

struct ServerAlias {
    std::string address;  // what a connection uses
    std::string name;     // what the server box shows
};

struct ServerList {
    std::vector<ServerAlias> aliases;
    std::vector<std::string> entries;  // in the order shown
};

// The last entry of the server box: choosing it runs a scan.
inline constexpr const char* kFindServers = "<find servers>";

// The first alias shown as `name`, or none.
inline const ServerAlias* FindAlias(const std::vector<ServerAlias>& aliases, const std::string& name) {
    for (const ServerAlias& alias : aliases)
        if (alias.name == name) return &alias;
    return nullptr;
}
