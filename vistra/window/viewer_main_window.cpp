#include "window/viewer_main_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "app/viewer_options.h"
#include "geometry.h"
#include "settings/config_toolbar.h"
#include "window/error_report.h"
#include "window/server_check.h"
#include "world_orientation.h"

namespace {

constexpr int kMessageMs = 5000;
constexpr int kScanAnswers = 256;

}  // namespace

ViewerMainWindow::ViewerMainWindow(QWidget* parent, const QString& name, float fps)
    : QMainWindow(parent), session_(std::make_unique<DetectorSession>()) {
    setObjectName(name);
    setFocusPolicy(Qt::ClickFocus);
    views_ = new QStackedWidget(this);
    view_ = new DetectorWidget(views_, QStringLiteral("view"), 0, 0, 800, 600);
    view_->setDetectorSession(session_.get());
    view_->setEnabled(true);
    sceneView_ = new SceneWidget(views_, QStringLiteral("scene view"), 0, 0, 800, 600);
    sceneView_->session = session_.get();
    views_->addWidget(view_);
    views_->addWidget(sceneView_);
    setCentralWidget(views_);
    view_->initialise();
    sceneView_->initialise();
    config_ = new ConfigToolbar(QStringLiteral("Settings"), this);
    config_->attach(session_.get());
    addDockWidget(Qt::RightDockWidgetArea, config_);
    resizeDocks({config_}, {ConfigToolbar::kExtentWidth}, Qt::Horizontal);
    // Below one frame per second the whole part is 0: repaint once a second;
    // above the options' limit the period would be 0 ms, a busy loop.
    const float wholeFps = fps >= ViewerOptions::kMaxFps ? ViewerOptions::kMaxFps : fps >= 1 ? fps : 1;
    repaintPeriodMs_ = 1000 / static_cast<int>(wholeFps);
    timerId_ = startTimer(repaintPeriodMs_, Qt::PreciseTimer);
    numerics::readOrientationFile(numerics::kOrientationFileName, glview::worldOrientation().data());
}

ViewerMainWindow::~ViewerMainWindow() {
    // The views (children) outlive the session member.
    view_->setDetectorSession(nullptr);
    sceneView_->session = nullptr;
    if (session_->connected) session_->Done();
}

bool ViewerMainWindow::sceneViewShown() const { return views_->currentWidget() == sceneView_; }

void ViewerMainWindow::showSceneView(bool shown) {
    QWidget* wanted = shown ? static_cast<QWidget*>(sceneView_) : view_;
    if (views_->currentWidget() == wanted) return;
    views_->setCurrentWidget(wanted);
    wanted->setFocus();
}

void ViewerMainWindow::createStatusLabels() {
    struct LabelLook {
        int minWidth;
        const char* tip;
    };
    const std::array<LabelLook, 7> looks = {{{65, "total cameras"},
                                             {65, "average markers seen"},
                                             {65, "Vek frame number"},
                                             {45, "Vek frames/sec."},
                                             {45, "graphic frames/sec."},
                                             {45, "graphic Load"},
                                             {55, "frame age: server to screen"}}};
    for (std::size_t i = 0; i < looks.size(); ++i) {
        auto* label = new QLabel(statusBar());
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(looks[i].minWidth);
        label->setToolTip(QString::fromLatin1(looks[i].tip));
        label->setAutoFillBackground(true);
        statusBar()->addPermanentWidget(label);
        labels_[i] = label;
    }
}

void ViewerMainWindow::refreshStatusLabels() {
    if (!labels_[0]) return;
    const DetectorSession& s = *session_;
    const FrameRateTexts& rates = sceneViewShown() ? sceneView_->rateTexts() : view_->rateTexts();
    const QString texts[7] = {
        QStringLiteral("Cameras: %1").arg(s.cameras.size()),
        QStringLiteral("Markers: %1").arg(static_cast<int>(s.markersSeenAverage.mean + 0.5f)),
        QString::number(s.lastFrame),
        QStringLiteral("%1Hz").arg(measuredRate_, 0, 'f', 1),
        QStringLiteral("%1 fps").arg(rates.rate),
        rates.load + QStringLiteral("%"),
        frameAgeText_};
    // A label repaints only when its text or colour changes.
    for (std::size_t i = 0; i < labels_.size(); ++i)
        if (labels_[i]->text() != texts[i]) labels_[i]->setText(texts[i]);

    const bool slow = s.connected && s.frequency * 0.95f > measuredRate_;
    const QColor background = slow ? QColor("red") : statusBar()->palette().color(QPalette::Window);
    if (labels_[3]->palette().color(QPalette::Window) != background) {
        QPalette palette = labels_[3]->palette();
        palette.setColor(QPalette::Window, background);
        labels_[3]->setPalette(palette);
    }
}

void ViewerMainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timerId_) {
        QMainWindow::timerEvent(event);
        return;
    }
    autoConnect();
    sampleFrameAge();
    refreshStatusLabels();
    updateMeasuredRate();
}

// The newest frame's capture time on this machine's clock, when the
// library can say it: otherwise the period counts as one without a figure.
void ViewerMainWindow::sampleFrameAge() {
    const int64_t generated = session_->NewestFrameTimeUs();
    if (generated == 0) return;
    int64_t local = 0;
    if (!session_->LocalTimeOf(generated, local)) {
        ageUnknown_ = true;
        return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    frameAge_.sample(std::chrono::duration_cast<std::chrono::microseconds>(now).count(), local);
}

void ViewerMainWindow::showFrameAge() {
    const std::optional<double> ageMs = frameAge_.takeMedianMs();
    frameAgeText_ = ageMs         ? QStringLiteral("%1 ms").arg(*ageMs, 0, 'f', 1)
                    : ageUnknown_ ? QStringLiteral("?")
                                  : QString();
    ageUnknown_ = false;
    QString tip = QStringLiteral("frame age: server to screen");
    double uncertainty = 0;
    bool same = false;
    if (session_->connected && !session_->ClockUncertainty(uncertainty, same))
        tip += QStringLiteral("\nthe server's clock is not known well enough here");
    else if (session_->connected && !same)
        tip +=
            QStringLiteral("\nserver clock offset known to \u00b1%1 ms").arg(uncertainty / 1000, 0, 'f', 3);
    if (labels_[6] && labels_[6]->toolTip() != tip) labels_[6]->setToolTip(tip);
}

void ViewerMainWindow::updateMeasuredRate() {
    watchServerFrequency();
    const uint32_t now = clock_.now();
    const uint32_t elapsed = now - rateTime_;
    if (elapsed <= 1000000u) return;
    showFrameAge();
    const int frame = session_->lastFrame;
    // The first reading has no earlier frame to count from.
    measuredRate_ = frame != 0 && rateFrame_ != 0 && frame >= rateFrame_
                        ? static_cast<float>(frame - rateFrame_) / static_cast<float>(elapsed) * 1e6f
                        : 0.0f;
    const bool steady = periodSteady_ && periodFrequency_ > 0;
    steadyRate_ = steady ? measuredRate_ : 0.0f;
    steadyFrequency_ = steady ? periodFrequency_ : 0.0f;
    periodSteady_ = true;
    rateFrame_ = frame;
    rateTime_ = now;
    rateMeasured();
}

void ViewerMainWindow::resetMeasuredRate() {
    measuredRate_ = steadyRate_ = steadyFrequency_ = 0;
    rateFrame_ = 0;
    frameAge_.clear();
    frameAgeText_.clear();
    ageUnknown_ = false;
    periodSteady_ = false;
}

void ViewerMainWindow::watchServerFrequency() {
    const float hz = session_->StreamingFrequency();
    if (hz == periodFrequency_) return;
    periodFrequency_ = hz;
    periodSteady_ = false;
}

void ViewerMainWindow::repaintShownView() {
    QWidget* shown = views_->currentWidget();
    const uint32_t now = clock_.now();
    const bool changed = session_->lastFrame != paintedFrame_ || session_->connected != paintedConnected_ ||
                         shown != paintedView_ || (shown == sceneView_ && sceneView_->moving());
    if (!changed && now - paintedTime_ < 1000000u) return;
    paintedFrame_ = session_->lastFrame;
    paintedConnected_ = session_->connected;
    paintedView_ = shown;
    paintedTime_ = now;
    // The views' own update() reaches their GL surfaces; QWidget's would not.
    if (shown == sceneView_)
        sceneView_->update();
    else
        view_->update();
}

void ViewerMainWindow::autoConnect() {
    repaintShownView();
    if (isHidden() || !autoConnectPending_) return;
    autoConnectPending_ = false;
    takeSettings();
    // Ask the host the connection goes to (localhost when none is named),
    // not whatever the library's default targets are.
    const DiscoveryTarget target = DiscoveryTargetOf(settings_.server);
    std::vector<VEKScanEntry> entries(kScanAnswers);
    const int n = vek_scan(target.host.c_str(), VEK_DISCOVERY_PORT, "auto connect test", 1000000,
                           entries.data(), kScanAnswers);
    if (n < 0) std::cerr << "error: connection check failed: ret=" << n << std::endl;
    if (n > 0 && ScanFoundServer(settings_.server, entries.data(), n)) {
        connectSession(true, true);
    } else {
        const QString message =
            QStringLiteral("auto connect failed: %1 not found (%2)")
                .arg(QString::fromStdString(target.server),
                     QString::fromStdString(DiscoveryFailureText(target, entries.data(), n)));
        // The status bar may be too narrow for all of it.
        std::cerr << "error: " << message.toStdString() << std::endl;
        statusBar()->showMessage(message);
    }
    refreshConnectionState();
}

void ViewerMainWindow::connectSession(bool startStreaming, bool setFrequency) {
    statusBar()->showMessage(QStringLiteral("connecting..."));
    session_->ConnectDetectors(settings_, startStreaming, setFrequency);
    view_->cameraListsDirty = 1;
    sceneView_->cameraListsDirty = 1;
    if (session_->connected) {
        // A slave stays one until it disconnects.
        config_->slaveBox()->setEnabled((session_->flags & VEK_SLAVE) == 0);
        statusBar()->showMessage(QStringLiteral("connected"), kMessageMs);
        return;
    }
    if (const int e = DetectorSession::TakeConnectError()) initError(e);
    // The init-error handler may have connected after all (as a slave) and
    // said so: the message tells the state the session is in now.
    if (!session_->connected) statusBar()->showMessage(QStringLiteral("disconnected"), kMessageMs);
}

void ViewerMainWindow::disconnectSession() {
    session_->Done();
    session_->ClearLiveData();
    resetMeasuredRate();
    config_->slaveBox()->setEnabled(true);
    statusBar()->showMessage(QStringLiteral("disconnected"), kMessageMs);
    refreshStatusLabels();
}

void ViewerMainWindow::errorText(int code, QString& text) {
    text = InitErrorText(settings_.server, code);
    if (!text.isEmpty()) showInitErrorBox(text);
}

void ViewerMainWindow::initError(int code) {
    QString text;
    errorText(code, text);
}

void ViewerMainWindow::showInitErrorBox(const QString& text) {
    QMessageBox::information(this, QStringLiteral("Vek Init Error"), text);
}
