// vekdds: the capture on DDS as ROS 2 nodes read it (see bridge.h).
#include <cstdlib>
#include <iostream>

#include "bridge.h"
#include "options.h"
#include "stop_signals.h"

int main(int argc, char** argv) {
    vekdds::Options options;
    std::string error;
    if (!vekdds::parseOptions(argc, argv, options, error)) {
        std::cerr << "error: " << error << '\n' << vekdds::usageText();
        return vekdds::kExitUsage;
    }
    if (options.help) {
        std::cout << vekdds::usageText();
        return vekdds::kExitSuccess;
    }
    vektk::InstallStopSignals();
    return vekdds::runBridge(options, std::getenv("ROS_DOMAIN_ID"), std::cout, std::cerr);
}
