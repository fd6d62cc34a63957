// FLTK start-up of the editor: the process-wide OpenGL defaults and the GL
// text helpers the view draws its labels with.
#pragma once

#include <string>

class Fl_Gl_Window;

struct GLDefaults {
    int glMode = 0;  // FLTK GL window mode bits
    int clearMask = 0;
    const int* disableCaps = nullptr;  // 0-terminated GL capability codes
    const int* enableCaps = nullptr;   // 0-terminated
};

// Creates the process's GL defaults; a second call warns and keeps the first.
void InitFltkWrapper(int glMode, int clearMask, const int* disableCaps, const int* enableCaps);
// Null until InitFltkWrapper ran (a static initialiser runs it before main).
const GLDefaults* GetGLDefaults();

// Gives the window the defaults' GL mode.
void ConfigureGLWindow(Fl_Gl_Window& window);
// Disables and enables the defaults' capabilities and sets the clear
// colour (black) and depth (1), in the current GL context.
void ApplyGLDefaults();

// Text at (x, y, z) of the current GL matrices in an FLTK face and size.
void DrawText3D(const std::string& text, float x, float y, float z, int face, int size);
// The same in the face and size of GLUT bitmap font `font` (0 .. 6).
void DrawGlutText(const std::string& text, float x, float y, float z, int font);
