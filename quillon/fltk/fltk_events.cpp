#include "fltk/fltk_events.h"

#include <FL/Enumerations.H>

#include "mouse_state.h"

namespace {

constexpr int kFirstIgnoredKeyCode = 65281;
constexpr int kFirstFunctionKey = 257;

}  // namespace

int CoreModifiers(int fltkState) {
    int bits = 0;
    if (fltkState & FL_SHIFT) bits |= glview::kShift;
    if (fltkState & FL_CTRL) bits |= glview::kCtrl;
    if (fltkState & FL_ALT) bits |= glview::kAlt;
    return bits;
}

int CoreButtonIndex(int fltkButton) {
    if (fltkButton == FL_MIDDLE_MOUSE) return 1;
    if (fltkButton == FL_RIGHT_MOUSE) return 2;
    return 0;
}

int CoreKey(const char* text, int length, int keyCode) {
    if (text && length > 0) return static_cast<unsigned char>(text[0]);
    if (keyCode == FL_Escape) return 27;
    if (keyCode > FL_F && keyCode <= FL_F_Last) return kFirstFunctionKey + (keyCode - FL_F - 1);
    if (keyCode >= kFirstIgnoredKeyCode) return 0;
    return keyCode;
}
