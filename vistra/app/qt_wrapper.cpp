#include "app/qt_wrapper.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <QFont>
#include <QOpenGLWindow>
#include <QStyle>
#include <QStyleFactory>
#include <QSurfaceFormat>

#include <iostream>

namespace {

std::unique_ptr<GLDefaults>& defaultsSlot() {
    static std::unique_ptr<GLDefaults> defaults;
    return defaults;
}

// A style the platform lacks leaves the current one.
void applyStyle(const char* name) {
    if (QStyle* style = QStyleFactory::create(QString::fromLatin1(name))) QApplication::setStyle(style);
}

QSurfaceFormat formatFor(int glOptions) {
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior((glOptions & kGLDoubleBuffer) ? QSurfaceFormat::DoubleBuffer
                                                         : QSurfaceFormat::SingleBuffer);
    format.setDepthBufferSize((glOptions & kGLDepthBuffer) ? 24 : 0);
    if (glOptions & kGLRgba) {
        format.setRedBufferSize(8);
        format.setGreenBufferSize(8);
        format.setBlueBufferSize(8);
    }
    return format;
}

void setCaps(const int* caps, bool enable) {
    for (; caps && *caps; ++caps) {
        if (enable)
            glEnable(static_cast<GLenum>(*caps));
        else
            glDisable(static_cast<GLenum>(*caps));
    }
}

}  // namespace

// The icons live in this static library; their registration must be pulled in.
static void registerIcons() { Q_INIT_RESOURCE(icons); }

const GLDefaults* GetGLDefaults() { return defaultsSlot().get(); }

void QTWrapper::init(const QTWrapperConfig& config) {
    // Qt allows one application object per process: a second
    // initialisation keeps using the one that exists.
    if (!QApplication::instance()) app_ = std::make_unique<QApplication>(*config.argc, config.argv);
    registerIcons();
    QApplication::setFont(QFont(QStringLiteral("Helvetica"), 8));
    applyStyle("windowsxp");
    if (config.style) applyStyle(config.style);

    if (defaultsSlot()) {
        std::cerr << "Warning: QTWrapper already initialized!" << std::endl;
        return;
    }
    defaultsSlot() = std::make_unique<GLDefaults>(
        GLDefaults{config.glOptions, config.clearMask, config.disableCaps, config.enableCaps});
    QSurfaceFormat::setDefaultFormat(formatFor(config.glOptions));
    glutInit(config.argc, config.argv);
}

void ApplyGLDefaults() {
    if (const GLDefaults* d = GetGLDefaults()) {
        setCaps(d->disableCaps, false);
        setCaps(d->enableCaps, true);
    }
    glClearColor(0, 0, 0, 1);
}

void ConfigureGLWidget(QOpenGLWindow* window) {
    if (!window) return;
    if (const GLDefaults* d = GetGLDefaults(); d && !window->isValid())
        window->setFormat(formatFor(d->glOptions));
    if (window->isValid()) {
        window->makeCurrent();
        ApplyGLDefaults();
        window->doneCurrent();
    }
}
