// One application per test program, started the way vistra starts it.
#pragma once

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include <memory>
#include <QRect>

#include <stdlib.h>

#include <optional>
#include <sstream>
#include <string>

#include "app/qt_wrapper.h"
#include "app/viewer_options.h"
#include "temp_dir.h"

// The options vistra's command line gives for "-s server" (and "-connect"
// when `connect`); what they print is swallowed.
inline ViewerOptions WindowOptions(const std::string& server, bool connect) {
    static std::ostringstream sink;
    ViewerOptions options("Vistra Utility", sink);
    options.server = server;
    options.connect = connect ? 1 : 0;
    return options;
}

// HOME names a fresh, empty folder while the object lives: no test reads
// the user's own ".tavrix", nor writes one.
class ScopedHome {
public:
    ScopedHome() {
        if (const char* home = getenv("HOME")) previous = home;
        setenv("HOME", folder.path().c_str(), 1);
    }
    ~ScopedHome() {
        if (previous)
            setenv("HOME", previous->c_str(), 1);
        else
            unsetenv("HOME");
    }
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

    const std::string& path() const { return folder.path(); }
    std::string file(const std::string& name) const { return folder.File(name); }

private:
    testsupport::TempDir folder;
    std::optional<std::string> previous;
};

// Starts the application before the first test and ends it after the last
// (an application left to static destruction outlives Qt's own statics).
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        home = std::make_unique<ScopedHome>();
        QTWrapperConfig config;
        config.glOptions = kGLDoubleBuffer | kGLDepthBuffer | kGLRgba;
        config.clearMask = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
        config.disableCaps = disableCaps;
        config.enableCaps = enableCaps;
        config.argc = &argc;
        config.argv = argv;
        wrapper = std::make_unique<QTWrapper>();
        wrapper->init(config);
    }
    void TearDown() override {
        wrapper.reset();
        home.reset();
    }

    std::unique_ptr<ScopedHome> home;
    std::unique_ptr<QTWrapper> wrapper;

private:
    int argc = 1;
    char name[12] = "vistra_test";
    char* argv[2] = {name, nullptr};
    static constexpr int disableCaps[] = {GL_BLEND, GL_DITHER, 0};
    static constexpr int enableCaps[] = {GL_DEPTH_TEST, 0};
};

inline GuiEnvironment* const kGuiEnvironment =
    static_cast<GuiEnvironment*>(::testing::AddGlobalTestEnvironment(new GuiEnvironment));

inline bool IsGreen(QRgb c) { return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60; }
inline bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
inline bool IsWhite(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200; }
inline bool IsGrey(QRgb c) {
    return qRed(c) > 140 && qRed(c) < 215 && qAbs(qRed(c) - qGreen(c)) < 8 && qAbs(qRed(c) - qBlue(c)) < 8;
}
inline bool IsBlack(QRgb c) { return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30; }

// Pixels of `area` (clipped to the image) for which `test` holds.
template <typename Test>
int CountPixels(const QImage& image, const QRect& area, Test test) {
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// White pixels (as IsWhite counts them) of `text` in `font` over black, the
// text drawn white with its baseline at the image's ascent as the views'
// glyph atlas draws it: what a label shows with the fonts this machine has.
// Only the rows above the baseline count when `aboveBaseline`.
inline int WhitePixelsOfText(const QString& text, const QFont& font, bool aboveBaseline = false) {
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 1, metrics.height(), QImage::Format_RGBA8888);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(0, metrics.ascent()), text);
    painter.end();
    // The views blend the atlas over the picture: over black, a pixel is
    // as bright as the glyph's coverage.
    const QRect rows(0, 0, image.width(), aboveBaseline ? metrics.ascent() : image.height());
    return CountPixels(image, rows, [](QRgb c) { return qAlpha(c) > 200; });
}

// The items of a combo box, in order.
inline QStringList ComboItems(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
template <typename Condition>
bool WaitFor(Condition done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Once the next modal dialog of type T is up, hands it to `answer`.
template <typename T = QMessageBox, typename Answer>
void AnswerNextDialog(Answer answer) {
    QTimer::singleShot(0, [answer] {
        WaitFor([] { return qobject_cast<T*>(QApplication::activeModalWidget()) != nullptr; }, 3000);
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) answer(dialog);
    });
}
