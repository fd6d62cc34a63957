// The window as the grid leaves it (the clear colour and the grid's lines),
// kept while the view stays as it was: a software renderer takes longer to
// draw the grid's window-long lines than to copy a picture of them. Only
// colour is kept (the grid is drawn first, without depth test), and only
// the rectangle around the pixels that are not the clear colour. The view
// is read from GL itself (matrices, viewport, clear colour, the list and
// the switches that change how lines land), so whatever moves the grid on
// the screen drops the picture; a window whose pixels an 8-bit picture
// cannot hold exactly (deeper colour, several samples) keeps none.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gl_matrix.h"

namespace glview {

class GridPicture {
public:
    // What the grid's pixels depend on, read from GL as the grid is drawn.
    struct View {
        Matrix4 projection{}, modelview{};
        std::array<GLint, 4> viewport{};
        std::array<GLfloat, 4> clear{};
        GLuint list = 0;
        uint32_t switches = 0;  // one bit per capability in grid_picture.cpp's list
        bool exact = false;     // 8-bit colour, one sample a pixel
        bool operator==(const View&) const = default;
    };
    static View current(GLuint list);

    // Draws the kept picture when it shows this very view; false otherwise
    // (the grid is then to be drawn, and drawn() told).
    bool draw(const View& view);
    // The grid of `view` has just been drawn: a view drawn twice in a row
    // is read back and kept.
    void drawn(const View& view);
    // Drops the picture (the context or the grid's list is going).
    void forget();

private:
    View last_{}, kept_{};
    bool haveLast_ = false, haveKept_ = false;
    std::vector<uint32_t> pixels_;  // the viewport, bottom row first
    uint32_t background_ = 0;       // the clear colour as read back
    std::array<GLint, 4> drawn_{};  // x, y, width, height of what differs from the clear colour
};

}  // namespace glview
