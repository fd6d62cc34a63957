// Fuzz target: any bytes as a scene file. A scene or a one-line error,
// never a crash; a parsed scene must be usable by the simulator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "scene.h"
#include "simulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vekd::Scene scene;
    std::string error;
    if (vekd::parseScene(reinterpret_cast<const char*>(data), size, scene, error)) {
        vekd::Simulator sim(scene, 1);
        vekd::TrackerTable trackers;
        trackers.create(0, VEK_CREATE, VEK_POINT_TRACKER);
        for (int led = 0; led < 8; ++led) trackers.setMarkerLed(led, VEK_MARKER_LED, led);
        trackers.operate(0, VEK_ON);
        vekd::FrameData frame;
        sim.generate(1, 0.5, trackers, frame);
    } else if (error.empty() || error.find('\n') != std::string::npos) {
        __builtin_trap();
    }
    return 0;
}
