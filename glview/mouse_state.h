// Pointer state kept by a toolkit adapter and handed to the view core.
#pragma once

namespace glview {

// Button bits.
constexpr int kLeftButton = 1;
constexpr int kMiddleButton = 2;
constexpr int kRightButton = 4;
constexpr int kWheelForward = 8;
constexpr int kWheelBackward = 16;
// Modifier bits.
constexpr int kShift = 1;
constexpr int kCtrl = 2;
constexpr int kAlt = 4;

struct MouseState {
    int x = 0, y = 0;    // window pixels, y up from the bottom
    int dx = 0, dy = 0;  // previous minus current position
    int buttons = 0;
    int previousButtons = 0;
    int modifiers = 0;

    // Moves to (newX, newY); buttonIndex 0..4 is pressed or released, -1 none.
    void update(int newX, int newY, int buttonIndex, bool pressed) {
        dx = x - newX;
        dy = y - newY;
        x = newX;
        y = newY;
        previousButtons = buttons;
        if (buttonIndex >= 0) {
            if (pressed)
                buttons |= 1 << buttonIndex;
            else
                buttons &= ~(1 << buttonIndex);
        }
    }
};

}  // namespace glview
