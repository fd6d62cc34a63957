// What a toolkit adapter and the view core offer each other.
#pragma once

#include "mouse_state.h"

namespace glview {

class GLViewInterface {
public:
    virtual ~GLViewInterface() = default;
    virtual int width() = 0;
    virtual int height() = 0;
    virtual void resize(int w, int h) = 0;
    virtual void move(int x, int y) = 0;
    virtual MouseState* mouseState() = 0;
    virtual void draw() = 0;
    virtual void idle() = 0;
    virtual bool key(int ascii, bool pressed) = 0;
    virtual bool mouse(const MouseState& state) = 0;
};

}  // namespace glview
