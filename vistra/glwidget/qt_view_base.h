// The Qt side of a GL view: a widget holding a native GL window (see
// GLSurfaceWindow) that forwards paint, mouse, wheel and key events to the
// view core, keeps the pointer state the core reads, and draws the core's
// texts over each frame. The GL resources made in the surface's context
// (the texts' glyph textures, the core's display lists) are released with
// the context or with the widget, whichever goes first.
#pragma once

#include <QImage>
#include <QMetaObject>
#include <QStringList>
#include <QWidget>

#include <string>

#include "glwidget/frame_rate_texts.h"
#include "glwidget/gl_surface_window.h"
#include "glwidget/text_batch.h"
#include "gl_view_core.h"
#include "mouse_state.h"

class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

class QtViewBase : public QWidget {
public:
    // `core` is the view this widget shows (the adapter itself, constructed
    // before this part of it).
    QtViewBase(glview::GLViewCore& core, QWidget* parent, const QString& name, int x, int y, int w, int h);
    ~QtViewBase() override;

    // A frame drawn now and read back (not shown: the surface's next
    // repaint shows the picture).
    QImage grabFramebuffer();
    // Repaints the surface (QWidget::update would not reach it).
    void update() { surface_->update(); }
    void makeCurrent() { surface_->makeCurrent(); }
    void doneCurrent() { surface_->doneCurrent(); }
    bool isValid() const { return surface_->isValid(); }
    GLSurfaceWindow* surface() const { return surface_; }

    // The texts of the last frame drawn, in drawing order.
    QStringList frameTexts() const { return texts_.texts(); }
    const FrameRateTexts& rateTexts() const { return rateTexts_; }

protected:
    void initializeGL();
    void paintGL();
    // A text of the core at a point of the current GL matrices, in the
    // colour GL draws with at that moment.
    void drawCoreText(float x, float y, float z, const std::string& text);

    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override { keyEvent(e, false); }
    void timerEvent(QTimerEvent*) override { update(); }
    void focusInEvent(QFocusEvent*) override {}
    void focusOutEvent(QFocusEvent*) override {}
    // Tab belongs to the view, not to focus navigation.
    bool focusNextPrevChild(bool) override { return false; }

    glview::MouseState mouse_;

private:
    void pointer(QMouseEvent* e, int index, bool press);
    void keyEvent(QKeyEvent* e, bool pressed);
    // Deletes what was made in the surface's context, with it current.
    void releaseGL();

    glview::GLViewCore& core_;
    GLSurfaceWindow* surface_;  // owned by its container, a child
    int takenByOverride_ = 0;   // key already handled at its shortcut override
    FrameRateTexts rateTexts_;
    TextBatch texts_;
    QMetaObject::Connection contextGoing_;
};
