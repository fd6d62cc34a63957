// Qt events in the view core's terms.
#pragma once

#include <QKeyEvent>

// Modifier bits of a Qt event in the core's terms.
int CoreModifiers(Qt::KeyboardModifiers modifiers);
// Button index of a Qt button: 0 left, 1 middle, 2 right; others count as left.
int CoreButtonIndex(Qt::MouseButton button);
// The character a key event stands for (Tab is 9, Ctrl+R is 18), 0 when none.
int CoreKey(const QKeyEvent& event);
