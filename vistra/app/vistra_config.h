// The Qt wrapper settings of the vistra program (also used by its tools and
// benchmarks, so that they draw exactly as the program does).
#pragma once

#include "app/qt_wrapper.h"

QTWrapperConfig VistraWrapperConfig(int* argc, char** argv);
