// Fuzz target for vekdds's command line: arguments split at NUL bytes.
#include <fuzz_input.h>

#include <cmath>
#include <set>

#include "options.h"
#include "ros_mapping.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekfuzz::CommandLine line("vekdds", data, size);
    vekdds::Options o;
    std::string error;
    if (!vekdds::parseOptions(line.argc(), line.argv(), o, error)) {
        if (error.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    // What the bridge relies on: names ROS 2 accepts, one topic per body,
    // a domain DDS can open, a rate the server can be asked for.
    if (!vekdds::validRosNamespace(o.prefix) || !vekdds::validFrameId(o.frameId)) __builtin_trap();
    if (o.domain && (*o.domain < 0 || *o.domain > vekdds::kMaxDomain)) __builtin_trap();
    if (o.rate && !(std::isfinite(*o.rate) && *o.rate > 0)) __builtin_trap();
    if (o.server && o.server->empty()) __builtin_trap();
    std::set<std::string> names;
    for (const vekdds::TrackerFile& t : o.trackers) {
        if (!vekdds::validRosToken(t.name) || !names.insert(t.name).second) __builtin_trap();
        if (t.rigid && t.name == o.frameId) __builtin_trap();
    }
    return 0;
}
