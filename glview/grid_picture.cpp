// glWindowPos2i (OpenGL 1.4) is declared with the extensions.
#define GL_GLEXT_PROTOTYPES
#include "grid_picture.h"

#include <GL/glext.h>

#include <algorithm>

namespace glview {

namespace {

// The capabilities that change which pixels the grid's lines make.
constexpr GLenum kSwitches[] = {
    GL_LINE_SMOOTH, GL_LINE_STIPPLE, GL_BLEND,        GL_DEPTH_TEST,     GL_TEXTURE_2D,  GL_FOG,
    GL_ALPHA_TEST,  GL_STENCIL_TEST, GL_SCISSOR_TEST, GL_COLOR_LOGIC_OP, GL_MULTISAMPLE, GL_LIGHTING};

// True when the window's colour survives a read back into 8-bit RGBA and
// a copy back unchanged.
bool exactPixels() {
    GLint bits[3] = {}, samples = 0;
    glGetIntegerv(GL_RED_BITS, &bits[0]);
    glGetIntegerv(GL_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_BLUE_BITS, &bits[2]);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    return bits[0] == 8 && bits[1] == 8 && bits[2] == 8 && samples == 0;
}

}  // namespace

GridPicture::View GridPicture::current(GLuint list) {
    View view;
    view.list = list;
    glGetDoublev(GL_PROJECTION_MATRIX, view.projection.data());
    glGetDoublev(GL_MODELVIEW_MATRIX, view.modelview.data());
    glGetIntegerv(GL_VIEWPORT, view.viewport.data());
    glGetFloatv(GL_COLOR_CLEAR_VALUE, view.clear.data());
    for (std::size_t i = 0; i < std::size(kSwitches); ++i)
        if (glIsEnabled(kSwitches[i])) view.switches |= 1u << i;
    view.exact = exactPixels();
    return view;
}

bool GridPicture::draw(const View& view) {
    if (!view.exact) return false;
    if (!haveKept_ || !(view == kept_)) {
        // The grid is about to be drawn over the cleared window, and kept
        // after: the clear colour as the window holds it tells which of
        // its pixels the grid changed.
        if (haveLast_ && view == last_ && view.viewport[2] > 0 && view.viewport[3] > 0)
            glReadPixels(view.viewport[0], view.viewport[1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &background_);
        return false;
    }
    if (drawn_[2] == 0) return true;  // the clear colour alone
    // The picture holds the grid's pixels as they were written: no
    // fragment operation is to change them again.
    glPushAttrib(GL_ENABLE_BIT | GL_PIXEL_MODE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    for (const GLenum cap : kSwitches) glDisable(cap);
    glPixelZoom(1, 1);
    glWindowPos2i(view.viewport[0] + drawn_[0], view.viewport[1] + drawn_[1]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, view.viewport[2]);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, drawn_[0]);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, drawn_[1]);
    glDrawPixels(drawn_[2], drawn_[3], GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
    glPopClientAttrib();
    glPopAttrib();
    return true;
}

void GridPicture::drawn(const View& view) {
    const GLint width = view.viewport[2], height = view.viewport[3];
    if (view.exact && haveLast_ && view == last_ && width > 0 && height > 0) {
        pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glReadPixels(view.viewport[0], view.viewport[1], width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels_.data());
        glPopClientAttrib();
        GLint x0 = width, y0 = height, x1 = -1, y1 = -1;
        for (GLint y = 0; y < height; ++y)
            for (GLint x = 0; x < width; ++x)
                if (pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                            static_cast<std::size_t>(x)] != background_) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                }
        drawn_ = x1 < 0 ? std::array<GLint, 4>{} : std::array<GLint, 4>{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
        kept_ = view;
        haveKept_ = true;
    }
    last_ = view;
    haveLast_ = true;
}

void GridPicture::forget() {
    haveLast_ = haveKept_ = false;
    pixels_ = {};
}

}  // namespace glview
