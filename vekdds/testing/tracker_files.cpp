#include "tracker_files.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace vekdds::testing {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vekdds-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string& name, const std::string& text) const {
    const std::filesystem::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
}

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
    wand = folder.write("wand.rb", rigidBodyFile(scene, "wand"));
    puck = folder.write("puck.rb", rigidBodyFile(scene, "puck"));
    points = folder.write("points.pt", pointFile(pointLeds));
}

}  // namespace vekdds::testing
