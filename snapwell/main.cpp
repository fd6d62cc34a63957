#include "program.h"

int main(int argc, char** argv) { return snapwell::runSnapwell(argc, argv); }
