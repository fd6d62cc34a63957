// vektake: inspect, cut and export take files (see program.h).
#include <unistd.h>

#include <iostream>

#include "program.h"

int main(int argc, char** argv) {
    taketool::installStopSignals();
    return taketool::runVektake(argc, argv, std::cout, std::cerr, isatty(STDOUT_FILENO));
}
