// Keys as tables: each row names a key and what it does. A key acts when
// pressed; a row marked kPressAndRelease also acts on release and is told
// which. A key of the table is taken either way, one not in it is not.
#pragma once

#include <cstddef>

namespace glview {

// Keys the views take that are not printable.
constexpr int kTab = 9;
constexpr int kCtrlR = 18;
constexpr int kEscape = 27;

enum KeyWhen { kPress, kPressAndRelease };

template <typename View>
struct KeyAction {
    int key;
    void (*act)(View& view, bool pressed);
    KeyWhen when = kPress;
};

// Runs the row of `key`; false when the table has none.
template <typename View, std::size_t N>
bool runKey(const KeyAction<View> (&table)[N], View& view, int key, bool pressed) {
    for (const KeyAction<View>& row : table) {
        if (row.key != key) continue;
        if (pressed || row.when == kPressAndRelease) row.act(view, pressed);
        return true;
    }
    return false;
}

// A row's action that turns a view's camera to fixed angles (degrees:
// elevation, azimuth, roll).
template <typename View, int X, int Y, int Z>
void turnCameraTo(View& view, bool) {
    view.camera.rotation = {X, Y, Z};
}

}  // namespace glview
