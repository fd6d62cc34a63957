// quillon from its command line to the end of its window.
#pragma once

// The exit status: 0 after "-h" and when the window closes or Quit is
// pressed; 1 for a bad command line, no file and a file without markers.
int RunQuillon(int argc, char** argv);
