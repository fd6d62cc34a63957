#include "glwidget/qt_view_base.h"

#include <GL/gl.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "app/qt_wrapper.h"
#include "glwidget/qt_view_events.h"
#include "glwidget/text_3d.h"

QtViewBase::QtViewBase(glview::GLViewCore& core, QWidget* parent, const QString& name, int x, int y, int w,
                       int h)
    : QWidget(parent),
      core_(core),
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

// The surface, a child, outlives this part of the widget: its context is
// still there to release what was made in it.
QtViewBase::~QtViewBase() {
    QObject::disconnect(contextGoing_);
    releaseGL();
}

void QtViewBase::releaseGL() {
    if (!surface_->isValid()) return;
    surface_->makeCurrent();
    texts_.releaseGL();
    core_.releaseLists();
    surface_->doneCurrent();
}

QImage QtViewBase::grabFramebuffer() {
    if (!surface_->isValid()) return {};
    surface_->makeCurrent();
    paintGL();
    return surface_->grabFramebuffer();
}

void QtViewBase::drawCoreText(float x, float y, float z, const std::string& text) {
    GLfloat c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    texts_.setColour(QColor::fromRgbF(c[0], c[1], c[2], c[3]));
    DrawText3D(QString::fromStdString(text), x, y, z, QStringLiteral("Helvetica"), 8);
    texts_.setColour(Qt::white);
}

// The lights belong to the context: set them again once it exists.
void QtViewBase::initializeGL() {
    ApplyGLDefaults();
    core_.initLights();
    QObject::disconnect(contextGoing_);
    contextGoing_ = connect(surface_->context(), &QOpenGLContext::aboutToBeDestroyed, this,
                            &QtViewBase::releaseGL, Qt::DirectConnection);
}

void QtViewBase::paintGL() {
    if (!isEnabled()) {
        rateTexts_.disabled();
        return;
    }
    const qreal ratio = devicePixelRatio();
    glViewport(0, 0, static_cast<GLsizei>(width() * ratio), static_cast<GLsizei>(height() * ratio));
    glview::Stopwatch& clock = core_.stopwatch();
    const uint32_t t0 = clock.now();
    ApplyGLDefaults();
    if (const GLDefaults* d = GetGLDefaults()) glClear(static_cast<GLbitfield>(d->clearMask));
    SetCurrentTextBatch(&texts_);
    texts_.clear();
    core_.draw();
    SetCurrentTextBatch(nullptr);  // the core's texts come while it draws, not after
    texts_.draw(surface_, width(), height());
    rateTexts_.frameDone(clock, t0, clock.now());
}

void QtViewBase::mousePressEvent(QMouseEvent* e) { pointer(e, CoreButtonIndex(e->button()), true); }
void QtViewBase::mouseReleaseEvent(QMouseEvent* e) { pointer(e, CoreButtonIndex(e->button()), false); }
void QtViewBase::mouseMoveEvent(QMouseEvent* e) { pointer(e, -1, false); }
void QtViewBase::mouseDoubleClickEvent(QMouseEvent* e) { pointer(e, CoreButtonIndex(e->button()), true); }

void QtViewBase::wheelEvent(QWheelEvent* e) {
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
        core_.mouse(mouse_);
    }
    update();
}

// A key the view takes wins over a window shortcut on the same key ('f'
// over "Fast Mode"): the view acts on the override request and skips the
// key press that follows.
bool QtViewBase::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        auto* k = static_cast<QKeyEvent*>(e);
        mouse_.modifiers = CoreModifiers(k->modifiers());
        const int ascii = CoreKey(*k);
        if (ascii && core_.key(ascii, true)) {
            takenByOverride_ = ascii;
            update();
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

void QtViewBase::keyPressEvent(QKeyEvent* e) {
    if (takenByOverride_ && takenByOverride_ == CoreKey(*e)) {
        takenByOverride_ = 0;
        return;
    }
    keyEvent(e, true);
}

void QtViewBase::pointer(QMouseEvent* e, int index, bool press) {
    // A click on the surface comes here, not through the widget's own
    // focus-on-click.
    if (press) setFocus(Qt::MouseFocusReason);
    mouse_.modifiers = CoreModifiers(e->modifiers());
    const QPointF p = e->position();
    mouse_.update(static_cast<int>(p.x()), height() - static_cast<int>(p.y()), index, press);
    core_.mouse(mouse_);
    update();
}

void QtViewBase::keyEvent(QKeyEvent* e, bool pressed) {
    mouse_.modifiers = CoreModifiers(e->modifiers());
    const int ascii = CoreKey(*e);
    if (ascii && core_.key(ascii, pressed)) {
        update();
        return;
    }
    e->ignore();
}
