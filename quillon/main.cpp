#include "program.h"

int main(int argc, char** argv) { return RunQuillon(argc, argv); }
