// Whether the program can open windows, asked before Qt starts: Qt aborts
// the process when its platform finds no display.
#pragma once

#include <string>

// Why no window can be opened ("cannot open display ..."), or empty when
// one can. Only the X11 platform is checked; another platform chosen with
// QT_QPA_PLATFORM or "-platform", or a Wayland session, is left to Qt.
std::string DisplayProblem(int argc, const char* const* argv);
