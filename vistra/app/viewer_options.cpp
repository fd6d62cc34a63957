#include "app/viewer_options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <veksock.h>

namespace {

// "rb" or "pt" after the last '.'.
bool isTrackerFile(const char* arg) {
    const char* dot = std::strrchr(arg, '.');
    return dot && (std::strcmp(dot + 1, "rb") == 0 || std::strcmp(dot + 1, "pt") == 0);
}

}  // namespace

ViewerOptions::ViewerOptions(std::string programName, std::ostream& out)
    : programName(std::move(programName)), out_(out) {}

int ViewerOptions::parseArgument(int argc, const char* const* argv, int& i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    auto is = [&](const char* name) { return std::strcmp(arg, name) == 0; };
    auto takeValue = [&]() { return argv[++i]; };

    if (hasValue && is("-p")) {
        trackerFiles.emplace_back(takeValue());
        return 1;
    }
    if (hasValue && is("-gridlen")) {
        const float v = std::strtof(takeValue(), nullptr);
        if (v > 0) gridLength = v;
        return 1;
    }
    if (hasValue && is("-gridct")) {
        const int v = std::atoi(takeValue());
        if (v > 0) gridCount = v;
        return 1;
    }
    if (hasValue && is("-gridlabel")) {
        gridLabel = takeValue();
        return 1;
    }
    if (hasValue && is("-r")) {
        trackerFiles.emplace_back(takeValue());
        return 1;
    }
    if (hasValue && is("-fps")) {
        float v = 0;
        // The repaint timer counts whole milliseconds: 1000 fps is its limit.
        if (std::sscanf(takeValue(), "%f", &v) == 1 && v > 0) fps = std::min(v, kMaxFps);
        out_ << "fps: " << fps << "\n";
        return 1;
    }
    if (hasValue && is("-scale")) {
        takeValue();
        return 1;
    }
    if (hasValue && is("-key")) {
        keyFile = takeValue();
        return 1;
    }
    if (is("-full")) {
        fullScreen = 1;
        return 1;
    }
    if (is("-connect")) {
        connect = 1;
        return 1;
    }
    if (is("-c3dstream")) {
        c3dStream = 1;
        return 1;
    }
    if (is("-h")) {
        help();
        return -1;
    }
    if (is("-u")) {
        usage(argv[0]);
        return -1;
    }
    if (isTrackerFile(arg)) {
        trackerFiles.emplace_back(arg);
        return 1;
    }
    if (hasValue && (is("-s") || is("-d"))) {
        server = takeValue();
        return 1;
    }
    return 0;
}

bool ViewerOptions::parse(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const int r = parseArgument(argc, argv, i);
        if (r == 0) usage(argv[0]);
        if (r == -1) return false;
    }
    char version[VEK_STRING_SIZE] = {};
    if (vekGetString(VEK_VERSION, version) > 0) out_ << "version: " << version << "\n";
    return true;
}

void ViewerOptions::usage(const std::string& programPath) {
    out_ << "\nusage:  " << programPath << " [-fps]"
         << " [-h]"
         << " [point#]"
         << " [file.rb]"
         << " [file.pt]"
         << "\n\n";
}

void ViewerOptions::help() {
    out_ << "\n"
         << programName << "\n"
         << "  -fps           set the frames per second displayed\n"
         << "  -h             display this message and exit\n"
         << "  point#         create a point tracker # points\n"
         << "  file.rb        create a rigid body tracker from rigid body file\n"
         << "  file.pt        create a point tracker from point file\n"
         << "  -key file      lab key file, for a server that asks for one (default:\n"
         << "                 VEK_KEY_FILE, else ~/.config/vek/key)\n"
         << "\n";
}
