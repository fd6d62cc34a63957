// Qt start-up: the application with its font and style, the process-wide
// OpenGL defaults and GLUT.
#pragma once

#include <QApplication>

#include <memory>

class QOpenGLWindow;

// glOptions bits.
constexpr int kGLDoubleBuffer = 1;
constexpr int kGLDepthBuffer = 2;
constexpr int kGLRgba = 4;

struct QTWrapperConfig {
    int glOptions = 0;
    int clearMask = 0;
    const int* disableCaps = nullptr;  // 0-terminated GL capability codes
    const int* enableCaps = nullptr;   // 0-terminated
    int* argc = nullptr;               // must outlive the application
    char** argv = nullptr;
    const char* style = nullptr;  // applied after the default style
};

struct GLDefaults {
    int glOptions = 0;
    int clearMask = 0;
    const int* disableCaps = nullptr;
    const int* enableCaps = nullptr;
};

// The process's GL defaults; null until the first QTWrapper initialisation.
const GLDefaults* GetGLDefaults();

class QTWrapper {
public:
    QTWrapper() = default;
    QTWrapper(const QTWrapper&) = delete;
    QTWrapper& operator=(const QTWrapper&) = delete;

    void init(const QTWrapperConfig& config);

private:
    std::unique_ptr<QApplication> app_;
};

// Gives the GL window the defaults' surface format; applies the GL defaults
// at once when its context exists (otherwise the window's owner applies
// them itself when it initialises).
void ConfigureGLWidget(QOpenGLWindow* window);
// Disables and enables the defaults' capabilities and clears to black, in
// the current GL context.
void ApplyGLDefaults();
