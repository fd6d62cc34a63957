// FLTK events in the view core's terms.
#pragma once

// Modifier bits (1 Shift, 2 Ctrl, 4 Alt) of an FLTK event state.
int CoreModifiers(int fltkState);
// Button index of an FLTK button (1 left, 2 middle, 3 right): 0, 1, 2;
// other buttons count as left.
int CoreButtonIndex(int fltkButton);
// The key of a key event: the first character of its text, else its key
// code (Escape 27, F1... 257...); 0 for codes from 65281 up.
int CoreKey(const char* text, int length, int keyCode);
