// The native OpenGL window a view draws into. It is embedded in the view's
// widget (QWidget::createWindowContainer) and swaps its own buffers, so a
// repaint is not composed again with the rest of the main window through
// GL, as a QOpenGLWidget's off-screen buffer would be. It never takes the
// keyboard; its mouse and wheel events go to the widget that owns it.
#pragma once

#include <QOpenGLWindow>

#include <functional>

class GLSurfaceWindow : public QOpenGLWindow {
public:
    // `owner` receives the window's mouse and wheel events.
    GLSurfaceWindow(QObject* owner, std::function<void()> initialize, std::function<void()> paint);

protected:
    void initializeGL() override { initialize_(); }
    void paintGL() override { paint_(); }
    bool event(QEvent* e) override;

private:
    QObject* owner_;
    std::function<void()> initialize_;
    std::function<void()> paint_;
};
