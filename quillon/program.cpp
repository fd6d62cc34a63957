#include "program.h"

#include <FL/Fl.H>

#include <iostream>
#include <string>
#include <vector>

#include "editor_window.h"
#include "options.h"
#include "rigid_body_file.h"

namespace {

constexpr int kFailure = 1;
constexpr int kWindowWidth = 600, kWindowHeight = 700;

}  // namespace

int RunQuillon(int argc, char** argv) {
    std::string file;
    if (const auto status = ParseCommandLine(argc, argv, file, std::cout)) return *status;
    if (file.empty()) {
        std::cout << "no rigid bodies specified" << std::endl;
        PrintUsage(argv[0], std::cout);
        return kFailure;
    }
    std::vector<MarkerRecord> markers;
    if (ReadRigidBodyFile(file, markers, std::cerr) < 1) {
        std::cout << "no markers" << std::endl;
        return kFailure;
    }
    Fl::visual(FL_DOUBLE);
    Fl::scheme(nullptr);
    EditorWindow window(kWindowWidth, kWindowHeight, file, std::move(markers));
    window.show();
    window.view().make_current();
    window.view().initialise();
    while (Fl::first_window()) {
        Fl::check();
        if (!Fl::first_window()) break;
        window.step();
    }
    return 0;
}
