#include "glwidget/qt_view_events.h"

#include "mouse_state.h"

int CoreModifiers(Qt::KeyboardModifiers modifiers) {
    int bits = 0;
    if (modifiers & Qt::ShiftModifier) bits |= glview::kShift;
    if (modifiers & Qt::ControlModifier) bits |= glview::kCtrl;
    if (modifiers & Qt::AltModifier) bits |= glview::kAlt;
    return bits;
}

int CoreButtonIndex(Qt::MouseButton button) {
    if (button == Qt::MiddleButton) return 1;
    if (button == Qt::RightButton) return 2;
    return 0;
}

int CoreKey(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Tab) return 9;
    const QString text = event.text();
    if (!text.isEmpty() && text.at(0).unicode() < 128) return text.at(0).unicode();
    // Ctrl+letter without a text: its control code.
    if ((event.modifiers() & Qt::ControlModifier) && event.key() >= Qt::Key_A && event.key() <= Qt::Key_Z)
        return event.key() - Qt::Key_A + 1;
    return 0;
}
