// vekd: the capture-server simulator.
#include <cstdio>
#include <string>

#include "options.h"
#include "scene.h"
#include "server.h"

int main(int argc, char** argv) {
    vekd::Options options;
    std::string error;
    if (!vekd::parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "vekd: %s\n%s", error.c_str(), vekd::usageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(vekd::usageText().c_str(), stdout);
        return 0;
    }
    vekd::Scene scene = vekd::defaultScene();
    if (!options.sceneFile.empty() && !vekd::loadScene(options.sceneFile, scene, error)) {
        std::fprintf(stderr, "vekd: %s\n", error.c_str());
        return 1;
    }
    for (int index : options.uncalibrated) {
        if (index >= static_cast<int>(scene.cameras.size())) {
            std::fprintf(stderr, "vekd: no camera %d to mark uncalibrated\n", index);
            return 2;
        }
        scene.cameras[index].calibrated = false;
    }
    vekd::Server server(std::move(options), std::move(scene));
    if (!server.start(error)) {
        std::fprintf(stderr, "vekd: %s\n", error.c_str());
        return 1;
    }
    return server.run();
}
