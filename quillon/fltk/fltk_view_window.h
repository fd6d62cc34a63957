// FLTK adapter of a GL view core: an Fl_Gl_Window that forwards paint,
// mouse, wheel and key events to the core and offers it the window's size,
// the pointer state, GL text and the way to quit.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/gl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fltk/fltk_events.h"
#include "fltk/fltk_wrapper.h"
#include "mouse_state.h"
#include "stopwatch.h"

// Overlay text of the frame rate, rebuilt at most this often.
constexpr uint32_t kFpsTextMicroseconds = 200000;

template <typename Core>
class FltkViewWindow : public Core, public Fl_Gl_Window {
public:
    FltkViewWindow(int x, int y, int w, int h, const char* label = nullptr)
        : Fl_Gl_Window(x, y, w, h, label) {
        ConfigureGLWindow(*this);
    }

    int width() override { return w(); }
    int height() override { return h(); }
    void resize(int w, int h) override { size(w, h); }
    void resize(int x, int y, int w, int h) override { Fl_Gl_Window::resize(x, y, w, h); }
    void move(int x, int y) override { position(x, y); }
    glview::MouseState* mouseState() override { return &mouse_; }

    void drawText(const std::string& text, float x, float y, float z, int fontIndex) override {
        DrawGlutText(text, x, y, z, fontIndex);
    }
    // Every window closes, so the program's event loop ends.
    void quit() override {
        while (Fl_Window* window = Fl::first_window()) window->hide();
    }

    // FLTK's paint and the core's frame share the name: the paint runs the
    // core's frame inside it.
    void draw() override {
        if (!context_valid()) {
            ApplyGLDefaults();
            this->initLights();  // lights belong to the context
        }
        glViewport(0, 0, pixel_w(), pixel_h());
        glview::Stopwatch& clock = this->stopwatch();
        const uint32_t t0 = clock.now();
        if (const GLDefaults* d = GetGLDefaults()) glClear(static_cast<GLbitfield>(d->clearMask));
        Core::draw();
        if (t0 - fpsTextTime_ >= kFpsTextMicroseconds) {
            const uint32_t sincePrevious = t0 - previousT0_ ? t0 - previousT0_ : 1;
            std::snprintf(fpsText_, sizeof fpsText_, "fps: % 4.1f", 1e6 / sincePrevious);
            fpsTextTime_ = t0;
        }
        glColor3f(1, 1, 1);
        DrawGlutText(fpsText_, w() / 2.0f - 60, h() / 2.0f - 10, 0, 4);
        previousT0_ = t0;
        clock.addBusy(clock.now() - t0);
    }

    int handle(int event) override {
        mouse_.modifiers = CoreModifiers(Fl::event_state());
        switch (event) {
            case FL_PUSH:
            case FL_RELEASE:
                pointer(CoreButtonIndex(Fl::event_button()), event == FL_PUSH);
                return 1;
            case FL_DRAG:
            case FL_MOVE:
                pointer(-1, false);
                return 1;
            case FL_MOUSEWHEEL: {
                if (Fl::event_dy() == 0) return 0;
                const int index = Fl::event_dy() < 0 ? 3 : 4;
                for (const bool press : {true, false}) pointer(index, press);
                return 1;
            }
            case FL_KEYDOWN:
            case FL_KEYUP: {
                const int ascii = CoreKey(Fl::event_text(), Fl::event_length(), Fl::event_key());
                if (!ascii || !this->key(ascii, event == FL_KEYDOWN)) return 0;
                redraw();
                return 1;
            }
            case FL_ENTER:
                take_focus();
                return 1;
            case FL_FOCUS:
            case FL_UNFOCUS:
            case FL_LEAVE:
                return 1;
            default:
                return Fl_Gl_Window::handle(event);
        }
    }

private:
    void pointer(int buttonIndex, bool pressed) {
        mouse_.update(Fl::event_x(), h() - Fl::event_y(), buttonIndex, pressed);
        this->mouse(mouse_);
        redraw();
    }

    glview::MouseState mouse_;
    uint32_t previousT0_ = 0;
    uint32_t fpsTextTime_ = 0;
    char fpsText_[32] = "fps:  0.0";
};
