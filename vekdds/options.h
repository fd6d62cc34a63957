// vekdds's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vekdds {

// ROS 2's domain ids: 0 to 232 (DDS ports run out beyond).
constexpr int kMaxDomain = 232;

struct TrackerFile {
    std::string path;
    std::string name;    // the ROS 2 name of its frame and topic
    bool rigid = false;  // ".rb"; ".pt" is a point tracker
};

struct Options {
    std::optional<std::string> server;   // -s; else VEK_SERVER, else localhost
    std::vector<TrackerFile> trackers;   // -t, defined when vekdds is master
    std::optional<int> domain;           // --domain; else ROS_DOMAIN_ID, else 0
    std::string prefix = "vek";          // --prefix: topics /<prefix>/...
    std::string frameId = "world";       // --frame-id: the parent of every pose
    std::optional<float> rate;           // --rate: the frequency to set as master
    bool bestEffort = false;             // --best-effort instead of reliable
    std::optional<std::string> keyFile;  // -key: the lab key; else the library's look-up
    bool help = false;
};

// False with a message in `error` on a bad command line.
bool parseOptions(int argc, const char* const* argv, Options& out, std::string& error);
std::string usageText();

// The domain: `option` when given, else ROS_DOMAIN_ID as ROS 2 reads it
// (unset or empty: 0). False with a message when the variable holds no
// domain id.
bool resolveDomain(std::optional<int> option, const char* environment, int& domain, std::string& error);

}  // namespace vekdds
