#include "glwidget/gl_surface_window.h"

#include <QCoreApplication>

GLSurfaceWindow::GLSurfaceWindow(QObject* owner, std::function<void()> initialize,
                                 std::function<void()> paint)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate),
      owner_(owner),
      initialize_(std::move(initialize)),
      paint_(std::move(paint)) {
    // The keyboard stays with the owner: the main window's shortcuts and
    // focus handling work as for any widget.
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

bool GLSurfaceWindow::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            // The window fills its owner: the positions are the owner's.
            QCoreApplication::sendEvent(owner_, e);
            return true;
        default:
            return QOpenGLWindow::event(e);
    }
}
