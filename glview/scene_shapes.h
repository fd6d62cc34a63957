// Immediate-mode shapes shared by the scene, camera and measurement drawing.
#pragma once

#include <string>

namespace glview {

// Line loop in the x-y plane; vertex i at angle i * 2 pi / segments.
void drawCircle(float radius, int segments);
// Square of side `side` in the x-z plane with `divisions` lines each way
// (fewer than 2 count as 1).
void drawGridSquare(float side, int divisions);
// GLUT stroke characters at (x, y, z), scaled uniformly.
void drawStrokeText(float x, float y, float z, void* font, const std::string& text, float scale);
// Red x, green y and blue z axis from 0.01 * length to length, line width 2.
void drawAxisTripod(float length);

}  // namespace glview
