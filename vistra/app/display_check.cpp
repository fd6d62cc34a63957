#include "app/display_check.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const char* platformOf(int argc, const char* const* argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0) return argv[i + 1];
    const char* env = std::getenv("QT_QPA_PLATFORM");
    return env && *env ? env : nullptr;
}

}  // namespace

std::string DisplayProblem(int argc, const char* const* argv) {
    const char* platform = platformOf(argc, argv);
    if (platform && std::strncmp(platform, "xcb", 3) != 0) return {};
    const std::unique_ptr<Display, decltype(&XCloseDisplay)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (display) return {};
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!platform && wayland && *wayland) return {};
    const char* name = std::getenv("DISPLAY");
    return name && *name ? std::string("cannot open display (DISPLAY=") + name + ")"
                         : std::string("cannot open display (DISPLAY is not set)");
}
