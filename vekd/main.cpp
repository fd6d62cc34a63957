// vekd: the capture-server simulator, or the player of a recorded take.
#include <cstdio>
#include <memory>
#include <string>

#include "frame_source.h"
#include "lab_key.h"
#include "options.h"
#include "replay.h"
#include "scene.h"
#include "server.h"

namespace {

// The simulation of the scene the options name; null with a message.
std::unique_ptr<vekd::FrameSource> simulation(const vekd::Options& options, int& status) {
    vekd::Scene scene = vekd::defaultScene();
    std::string error;
    if (!options.sceneFile.empty() && !vekd::loadScene(options.sceneFile, scene, error)) {
        std::fprintf(stderr, "vekd: %s\n", error.c_str());
        status = 1;
        return nullptr;
    }
    for (int number : options.uncalibrated) {
        if (number > static_cast<int>(scene.cameras.size())) {
            std::fprintf(stderr, "vekd: no camera %d to mark uncalibrated (cameras 1 to %zu)\n", number,
                         scene.cameras.size());
            status = 2;
            return nullptr;
        }
        scene.cameras[number - 1].calibrated = false;
    }
    return std::make_unique<vekd::SimulatedFrames>(std::move(scene), options.seed);
}

// The take the options name, checked whole; it sets the frequency (unless
// --freq did) and the name discovery shows (unless --name did).
std::unique_ptr<vekd::FrameSource> replay(vekd::Options& options, int& status) {
    std::string error, note;
    auto take = vekd::ReplayFrames::open(options.replayFile, options.loop, error, note);
    if (!take) {
        std::fprintf(stderr, "vekd: cannot replay %s\n", error.c_str());
        status = 1;
        return nullptr;
    }
    if (!note.empty()) std::printf("vekd: warning: %s\n", note.c_str());
    const float recorded = take->summary().frequency;
    if (!options.frequencySet && vekd::validFrequency(recorded) && recorded > 0) options.frequency = recorded;
    if (!options.nameSet) {
        const size_t slash = options.replayFile.find_last_of('/');
        std::string name = "replay " + options.replayFile.substr(slash == std::string::npos ? 0 : slash + 1);
        for (char& ch : name)  // a file name may hold anything; a server name is one printable line
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = '?';
        for (size_t at; (at = name.find("  ")) != std::string::npos;) name.erase(at, 1);
        options.name = name.substr(0, 64);
    }
    std::printf("vekd: replaying %s: %u frames, %zu cameras, recorded at %g Hz%s%s\n",
                options.replayFile.c_str(), take->summary().frames, take->cameras().size(), recorded,
                take->knowsPeakLeds() ? "; markers rebuilt from its peaks" : "; markers as recorded",
                options.loop ? ", looping" : "");
    return take;
}

// vekd --make-key FILE.
int makeKey(const std::string& path) {
    std::string why;
    const vekwire::LabKey key = vekwire::LabKey::generate();
    if (key.empty() || !key.write(path, why)) {
        std::fprintf(stderr, "vekd: cannot make a lab key: %s\n",
                     key.empty() ? "no random source" : why.c_str());
        return 1;
    }
    std::printf("wrote to %s\n", path.c_str());
    return 0;
}

}  // namespace

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
    if (!options.makeKey.empty()) return makeKey(options.makeKey);
    vekwire::LabKey key;
    if (!options.keyFile.empty() && !vekwire::LabKey::read(options.keyFile, key, error)) {
        std::fprintf(stderr, "vekd: key file %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    std::unique_ptr<vekd::FrameSource> source =
        options.replayFile.empty() ? simulation(options, status) : replay(options, status);
    if (!source) return status;
    vekd::Server server(std::move(options), std::move(source), std::move(key));
    if (!server.start(error)) {
        std::fprintf(stderr, "vekd: %s\n", error.c_str());
        return 1;
    }
    return server.run();
}
