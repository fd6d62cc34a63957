#include "settings/server_scan.h"

#include <cstring>
#include <ostream>
#include <vector>

namespace {

constexpr int kScanAnswers = 256;
constexpr int kScanWaitUs = 1000000;

std::string textOf(const char* field, std::size_t size) { return {field, strnlen(field, size)}; }

}  // namespace

std::string ScanName(const VEKScanEntry& entry) {
    const std::string description = textOf(entry.description, sizeof entry.description);
    const std::size_t blanks = description.find("  ");
    if (blanks == std::string::npos || blanks == 0) return {};
    return description.substr(blanks + 2);
}

ServerList ScanList(const VEKScanEntry* entries, int n) {
    ServerList list;
    for (int i = 0; i < n; ++i) {
        const std::string host = textOf(entries[i].host, sizeof entries[i].host);
        const std::string name = ScanName(entries[i]);
        list.aliases.push_back({host, name});
        list.entries.push_back(name.empty() ? host : name);
    }
    if (list.entries.empty()) list.entries.push_back("localhost");
    list.entries.push_back(kFindServers);
    return list;
}

ServerList ScanServers(std::ostream& err) {
    std::vector<VEKScanEntry> entries(kScanAnswers);
    const int n =
        vek_scan(nullptr, VEK_DISCOVERY_PORT, "configtoolbar", kScanWaitUs, entries.data(), kScanAnswers);
    if (n < 0) err << "error: connection check failed: ret=" << n << std::endl;
    return ScanList(entries.data(), n);
}
