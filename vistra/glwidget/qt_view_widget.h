// Qt adapter of a GL view core: the core and the Qt widget that shows it
// (QtViewBase) in one object; the core reads the widget's size and pointer
// state through it and draws its texts through it.
#pragma once

#include <string>

#include "app/qt_wrapper.h"
#include "glwidget/qt_view_base.h"
#include "mouse_state.h"

template <typename Core>
class QtViewWidget : public Core, public QtViewBase {
public:
    QtViewWidget(QWidget* parent, const QString& name, int x, int y, int w, int h)
        : QtViewBase(*this, parent, name, x, y, w, h) {}

    int width() override { return QWidget::width(); }
    int height() override { return QWidget::height(); }
    void resize(int w, int h) override { QWidget::resize(w, h); }
    void move(int x, int y) override { QWidget::move(x, y); }
    glview::MouseState* mouseState() override { return &mouse_; }
    void drawText(float x, float y, float z, const std::string& text) override {
        drawCoreText(x, y, z, text);
    }
};

// The view's surface gets the process's GL defaults (see the QOpenGLWindow
// overload).
template <typename Core>
void ConfigureGLWidget(QtViewWidget<Core>* view) {
    if (view) ConfigureGLWidget(view->surface());
}
