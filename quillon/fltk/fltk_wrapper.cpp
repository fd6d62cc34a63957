#include "fltk/fltk_wrapper.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/gl.h>

#include <cassert>
#include <iostream>
#include <memory>

namespace {

std::unique_ptr<GLDefaults>& defaultsSlot() {
    static std::unique_ptr<GLDefaults> defaults;
    return defaults;
}

constexpr int kDisabledCaps[] = {GL_ALPHA_TEST,   GL_BLEND,      GL_DITHER,     GL_FOG, GL_COLOR_LOGIC_OP,
                                 GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D, 0};
constexpr int kEnabledCaps[] = {GL_DEPTH_TEST, GL_NORMALIZE, 0};

// Double-buffered with depth, cleared in colour and depth, set up before main.
const bool kDefaultsCreated = [] {
    InitFltkWrapper(FL_DOUBLE | FL_DEPTH, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, kDisabledCaps,
                    kEnabledCaps);
    return true;
}();

void setCaps(const int* caps, bool on) {
    for (; caps && *caps; ++caps) {
        if (on)
            glEnable(static_cast<GLenum>(*caps));
        else
            glDisable(static_cast<GLenum>(*caps));
    }
}

struct FontFace {
    int face;
    int size;
};

// The faces and sizes of GLUT's seven bitmap fonts.
constexpr FontFace kGlutFaces[7] = {{FL_COURIER, 15},   {FL_COURIER, 13},   {FL_TIMES, 10},    {FL_TIMES, 24},
                                    {FL_HELVETICA, 10}, {FL_HELVETICA, 12}, {FL_HELVETICA, 18}};

}  // namespace

void InitFltkWrapper(int glMode, int clearMask, const int* disableCaps, const int* enableCaps) {
    if (defaultsSlot()) {
        std::cerr << "Warning: FLTK already initialized!" << std::endl;
        return;
    }
    defaultsSlot() = std::make_unique<GLDefaults>(GLDefaults{glMode, clearMask, disableCaps, enableCaps});
}

const GLDefaults* GetGLDefaults() { return defaultsSlot().get(); }

void ConfigureGLWindow(Fl_Gl_Window& window) {
    if (const GLDefaults* d = GetGLDefaults()) window.mode(d->glMode);
}

void ApplyGLDefaults() {
    if (const GLDefaults* d = GetGLDefaults()) {
        setCaps(d->disableCaps, false);
        setCaps(d->enableCaps, true);
    }
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
}

void DrawText3D(const std::string& text, float x, float y, float z, int face, int size) {
    gl_font(face, size);
    glPushMatrix();
    glRasterPos3f(x, y, z);
    // Blanks are stepped over by moving the raster position: FLTK's GL
    // glyphs of a blank do not advance it.
    std::size_t start = 0;
    while (start < text.size()) {
        const bool blank = text[start] == ' ';
        std::size_t end = start;
        while (end < text.size() && (text[end] == ' ') == blank) ++end;
        const char* run = text.c_str() + start;
        const int length = static_cast<int>(end - start);
        if (blank)
            glBitmap(0, 0, 0, 0, static_cast<GLfloat>(gl_width(run, length)), 0, nullptr);
        else
            gl_draw(run, length);
        start = end;
    }
    glPopMatrix();
}

void DrawGlutText(const std::string& text, float x, float y, float z, int font) {
    assert(font >= 0 && font < 7);
    if (font < 0 || font >= 7) return;
    const FontFace& f = kGlutFaces[font];
    DrawText3D(text, x, y, z, f.face, f.size);
}
