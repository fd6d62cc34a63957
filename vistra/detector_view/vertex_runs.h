// 2D vertices with their colours, collected in drawing order and drawn
// from vertex arrays: one draw call per run of equal primitive type, so
// that a cell of many small primitives costs a few calls, not one each.
#pragma once

#include <GL/gl.h>

#include <vector>

class VertexRuns {
public:
    void clear();
    void colour(float r, float g, float b) { colour_ = {r, g, b}; }
    // A segment (GL_LINES) or a point (GL_POINTS) in the current colour.
    void line(float x0, float y0, float x1, float y1);
    void point(float x, float y);
    // The four sides of a square, as segments.
    void square(float cx, float cy, float half);
    // Draws the runs with the current GL matrices and point size.
    void draw() const;

private:
    struct Colour {
        float r, g, b;
    };
    struct Run {
        GLenum mode;
        GLint first;
        GLsizei count;
    };
    void vertex(GLenum mode, float x, float y);

    std::vector<float> positions_;  // x, y
    std::vector<Colour> colours_;
    std::vector<Run> runs_;
    Colour colour_{1, 1, 1};
};
