// Qt adapter of a GL view core: a widget holding a native GL window (see
// GLSurfaceWindow) that forwards paint, resize, mouse, wheel and key events
// to the core and offers it the window's size and pointer state.
#pragma once

#include <GL/gl.h>

#include <QColor>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <QPainter>
#include <QWheelEvent>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "glwidget/frame_rate_texts.h"
#include "glwidget/gl_surface_window.h"
#include "glwidget/glyph_atlas.h"
#include "mouse_state.h"
#include "app/qt_wrapper.h"
#include "glwidget/text_3d.h"

// Modifier bits of a Qt event in the core's terms.
int CoreModifiers(Qt::KeyboardModifiers modifiers);
// Button index of a Qt button: 0 left, 1 middle, 2 right; others count as left.
int CoreButtonIndex(Qt::MouseButton button);
// The character a key event stands for (Tab is 9, Ctrl+R is 18), 0 when none.
int CoreKey(const QKeyEvent& event);

template <typename Core>
class QtViewWidget : public Core, public QWidget, public TextTarget {
public:
    QtViewWidget(QWidget* parent, const QString& name, int x, int y, int w, int h)
        : QWidget(parent),
          surface_(new GLSurfaceWindow(
              this, [this] { initializeGL(); }, [this] { paintGL(); })) {
        setObjectName(name);
        setFont(QFont(QStringLiteral("SansSerif"), 8));
        // The surface fills the widget; the widget keeps the keyboard focus.
        QWidget* container = QWidget::createWindowContainer(surface_, this);
        container->setFocusPolicy(Qt::NoFocus);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(container);
        QWidget::resize(w, h);
        QWidget::move(x, y);
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
    }

    // A frame drawn now and read back (not shown: the surface's next
    // repaint shows the picture).
    QImage grabFramebuffer() {
        if (!surface_->isValid()) return {};
        surface_->makeCurrent();
        paintGL();
        return surface_->grabFramebuffer();
    }
    // Repaints the surface (QWidget::update would not reach it).
    void update() { surface_->update(); }
    void makeCurrent() { surface_->makeCurrent(); }
    void doneCurrent() { surface_->doneCurrent(); }
    bool isValid() const { return surface_->isValid(); }
    GLSurfaceWindow* surface() const { return surface_; }

    int width() override { return QWidget::width(); }
    int height() override { return QWidget::height(); }
    void resize(int w, int h) override { QWidget::resize(w, h); }
    void move(int x, int y) override { QWidget::move(x, y); }
    glview::MouseState* mouseState() override { return &mouse_; }

    void queueText(const QPointF& position, const QString& text, const QFont& font) override {
        texts_.push_back({position, text, font, textColour_});
    }

    // The core's texts, in the colour GL draws with at that moment.
    void drawText(float x, float y, float z, const std::string& text) override {
        GLfloat c[4];
        glGetFloatv(GL_CURRENT_COLOR, c);
        textColour_ = QColor::fromRgbF(c[0], c[1], c[2], c[3]);
        DrawText3D(QString::fromStdString(text), x, y, z, QStringLiteral("Helvetica"), 8);
        textColour_ = Qt::white;
    }

    // The texts of the last frame drawn, in drawing order.
    QStringList frameTexts() const {
        QStringList texts;
        for (const QueuedText& t : texts_) texts << t.text;
        return texts;
    }

    const FrameRateTexts& rateTexts() const { return rateTexts_; }

protected:
    // The lights belong to the context: set them again once it exists.
    void initializeGL() {
        ApplyGLDefaults();
        this->initLights();
    }

    void paintGL() {
        if (!isEnabled()) {
            rateTexts_.disabled();
            return;
        }
        const qreal ratio = devicePixelRatio();
        glViewport(0, 0, static_cast<GLsizei>(width() * ratio), static_cast<GLsizei>(height() * ratio));
        glview::Stopwatch& clock = this->stopwatch();
        const uint32_t t0 = clock.now();
        ApplyGLDefaults();
        if (const GLDefaults* d = GetGLDefaults()) glClear(static_cast<GLbitfield>(d->clearMask));
        SetCurrentTextTarget(this);
        texts_.clear();
        this->draw();
        paintTexts();
        rateTexts_.frameDone(clock, t0, clock.now());
    }

    void mousePressEvent(QMouseEvent* e) override { pointer(e, CoreButtonIndex(e->button()), true); }
    void mouseReleaseEvent(QMouseEvent* e) override { pointer(e, CoreButtonIndex(e->button()), false); }
    void mouseMoveEvent(QMouseEvent* e) override { pointer(e, -1, false); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { pointer(e, CoreButtonIndex(e->button()), true); }

    void wheelEvent(QWheelEvent* e) override {
        // The core's wheel is the vertical one: a horizontal scroll is no step.
        const int steps = e->angleDelta().y();
        if (steps == 0) {
            e->ignore();
            return;
        }
        const int index = steps > 0 ? 3 : 4;
        mouse_.modifiers = CoreModifiers(e->modifiers());
        const QPointF p = e->position();
        for (const bool press : {true, false}) {
            mouse_.update(static_cast<int>(p.x()), height() - static_cast<int>(p.y()), index, press);
            this->mouse(mouse_);
        }
        update();
    }

    // A key the view takes wins over a window shortcut on the same key
    // ('f' over "Fast Mode"): the view acts on the override request and
    // skips the key press that follows.
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ShortcutOverride) {
            auto* k = static_cast<QKeyEvent*>(e);
            mouse_.modifiers = CoreModifiers(k->modifiers());
            const int ascii = CoreKey(*k);
            if (ascii && this->key(ascii, true)) {
                takenByOverride_ = ascii;
                update();
                e->accept();
                return true;
            }
        }
        return QWidget::event(e);
    }

    void keyPressEvent(QKeyEvent* e) override {
        if (takenByOverride_ && takenByOverride_ == CoreKey(*e)) {
            takenByOverride_ = 0;
            return;
        }
        keyEvent(e, true);
    }
    void keyReleaseEvent(QKeyEvent* e) override { keyEvent(e, false); }
    void timerEvent(QTimerEvent*) override { update(); }
    void focusInEvent(QFocusEvent*) override {}
    void focusOutEvent(QFocusEvent*) override {}
    // Tab belongs to the view, not to focus navigation.
    bool focusNextPrevChild(bool) override { return false; }

private:
    struct QueuedText {
        QPointF position;
        QString text;
        QFont font;
        QColor colour;
    };

    void pointer(QMouseEvent* e, int index, bool press) {
        // A click on the surface comes here, not through the widget's own
        // focus-on-click.
        if (press) setFocus(Qt::MouseFocusReason);
        mouse_.modifiers = CoreModifiers(e->modifiers());
        const QPointF p = e->position();
        mouse_.update(static_cast<int>(p.x()), height() - static_cast<int>(p.y()), index, press);
        this->mouse(mouse_);
        update();
    }

    void keyEvent(QKeyEvent* e, bool pressed) {
        mouse_.modifiers = CoreModifiers(e->modifiers());
        const int ascii = CoreKey(*e);
        if (ascii && this->key(ascii, pressed)) {
            update();
            return;
        }
        e->ignore();
    }

    // Texts of printable ASCII go to GL in one batch of quads from a glyph
    // atlas of their font; anything else is painted by QPainter.
    void paintTexts() {
        if (texts_.empty()) return;
        std::vector<const QueuedText*> others;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, QWidget::width(), QWidget::height(), 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        const GlyphAtlas* uploaded = nullptr;
        bool open = false;
        for (const QueuedText& t : texts_) {
            if (!GlyphAtlas::covers(t.text)) {
                others.push_back(&t);
                continue;
            }
            const GlyphAtlas& atlas = atlasFor(t.font);
            if (&atlas != uploaded) {
                if (open) glEnd();
                atlas.upload();
                uploaded = &atlas;
                glBegin(GL_QUADS);
                open = true;
            }
            glColor4f(static_cast<GLfloat>(t.colour.redF()), static_cast<GLfloat>(t.colour.greenF()),
                      static_cast<GLfloat>(t.colour.blueF()), static_cast<GLfloat>(t.colour.alphaF()));
            atlas.emitQuads(t.text, t.position);
        }
        if (open) glEnd();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        if (others.empty()) return;
        QPainter painter(surface_);
        for (const QueuedText* t : others) {
            painter.setPen(t->colour);
            painter.setFont(t->font);
            painter.drawText(t->position, t->text);
        }
    }

    const GlyphAtlas& atlasFor(const QFont& font) {
        for (const auto& atlas : atlases_)
            if (atlas->font() == font) return *atlas;
        return *atlases_.emplace_back(std::make_unique<GlyphAtlas>(font));
    }

    GLSurfaceWindow* surface_;  // owned by its container, a child
    glview::MouseState mouse_;
    int takenByOverride_ = 0;  // key already handled at its shortcut override
    FrameRateTexts rateTexts_;
    std::vector<QueuedText> texts_;
    QColor textColour_ = Qt::white;
    std::vector<std::unique_ptr<GlyphAtlas>> atlases_;
};

// The view's surface gets the process's GL defaults (see the QOpenGLWindow
// overload).
template <typename Core>
void ConfigureGLWidget(QtViewWidget<Core>* view) {
    if (view) ConfigureGLWidget(view->surface());
}
