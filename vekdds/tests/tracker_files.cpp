#include "tracker_files.h"

#include <sstream>

namespace vekdds::testing {

std::string rigidBodyFile(const vekd::Scene& scene, const std::string& body) {
    std::ostringstream out;
    for (const vekd::SceneLed& led : scene.leds)
        if (led.body >= 0 && scene.bodies[static_cast<size_t>(led.body)].name == body)
            out << led.id << ", " << led.position.x << ' ' << led.position.y << ' ' << led.position.z << '\n';
    return out.str();
}

std::string pointFile(const std::vector<int>& leds) {
    std::ostringstream out;
    for (const int led : leds) out << led << '\n';
    return out.str();
}

std::vector<int> ledRange(int first, int last) {
    std::vector<int> leds;
    for (int led = first; led <= last; ++led) leds.push_back(led);
    return leds;
}

DefaultTrackerFiles::DefaultTrackerFiles(const std::vector<int>& pointLeds) {
    const vekd::Scene scene = vekd::defaultScene();
    wand = folder.Write("wand.rb", rigidBodyFile(scene, "wand"));
    puck = folder.Write("puck.rb", rigidBodyFile(scene, "puck"));
    points = folder.Write("points.pt", pointFile(pointLeds));
}

}  // namespace vekdds::testing
