#include "window/vistra_main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <iostream>

#include "data/data_dialog.h"
#include "trackers/tracker_bar.h"
#include "window/vistrast_file.h"
#include "window/error_report.h"
#include "settings/config_toolbar.h"
#include "widgets/separator.h"
#include "widgets/widget_utils.h"

namespace {

constexpr int kPollMs = 2;
constexpr int kFramesPerTick = 48;
constexpr int kMessageMs = 5000;
constexpr int kButtonSpacer = 2;
constexpr float kTrackerViewRate = 15.0f;

}  // namespace

VistraMainWindow::VistraMainWindow(QWidget* parent, const QString& name, const ViewerOptions& options)
    : ViewerMainWindow(parent, name, options.fps) {
    setWindowTitle(name);
    createStatusLabels();
    resize(800, 600);
    createMenus();
    createControls();
    createTrackerBar();
    createDataDialog();

    pollTimer_ = new QTimer(this);
    pollTimer_->setTimerType(Qt::PreciseTimer);
    connect(pollTimer_, &QTimer::timeout, this, &VistraMainWindow::sl_VekTimerEvent);
    pollTimer_->start(kPollMs);

    readWindowSettings();
    auto* toggleFreq = new QAction(QString(), this);
    toggleFreq->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    connect(toggleFreq, &QAction::triggered, this, &VistraMainWindow::sl_ToggleFreq);
    addAction(toggleFreq);
    for (const std::string& file : options.trackerFiles)
        trackerBar_->AddTrackerFile(QString::fromStdString(file));

    if (!options.server.empty()) configToolbar()->putServerFirst(QString::fromStdString(options.server));
    view()->initialise();
    show();
    autoConnectPending_ = options.connect != 0;
    if (options.fullScreen) sl_FullScreen();
}

VistraMainWindow::~VistraMainWindow() {
    // Full screen hides the docks for a while only: what counts is what
    // leaving it would show again.
    const bool configShown = fullScreen_ ? settingsShown_ : !configToolbar()->isHidden();
    const bool trackersShown = fullScreen_ ? trackersShown_ : !trackerBar_->isHidden();
    WriteWindowSettings(SettingsPath(),
                        WindowSettingsText(configShown, trackersShown, trackerBar_->maxMarkersBox()->value()),
                        std::cerr);
}

void VistraMainWindow::readWindowSettings() {
    const WindowSettings read = ReadWindowSettings(SettingsPath(), std::cerr);
    if (read.configVisible) configToolbar()->setVisible(*read.configVisible != 0);
    if (read.trackersVisible) trackerBar_->setVisible(*read.trackersVisible != 0);
    if (read.markerMax) trackerBar_->maxMarkersBox()->setValue(*read.markerMax);
}

void VistraMainWindow::createTrackerBar() {
    trackerBar_ = new TrackerBar(this, &session(), kTrackerViewRate);
    addDockWidget(Qt::RightDockWidgetArea, trackerBar_);
    resizeDocks({trackerBar_}, {TrackerBar::kExtentWidth}, Qt::Horizontal);
}

void VistraMainWindow::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("View"));
    QMenu* vek = menuBar()->addMenu(QStringLiteral("Vek"));
    QMenu* windows = menuBar()->addMenu(QStringLiteral("Windows"));
    auto* fillMenu = new QMenu(this);

    auto add = [&](QMenu* menu, const char* text, int index, const QKeySequence& keys, bool toggle,
                   void (VistraMainWindow::*slot)()) {
        QAction* a = MakeAction(actions_, this, menu, QString::fromLatin1(text), index, keys, toggle);
        connect(a, &QAction::triggered, this, slot);
    };
    add(file, "Exit", kExitAction, QKeySequence(Qt::CTRL | Qt::Key_Q), false, &VistraMainWindow::sl_Quit);
    add(viewMenu, "Reset 2d View", kResetAction, QKeySequence(Qt::SHIFT | Qt::Key_R), false,
        &VistraMainWindow::sl_Reset);
    add(viewMenu, "Fullscreen", kFullScreenAction, QKeySequence(Qt::Key_F11), true,
        &VistraMainWindow::sl_FullScreen);
    add(viewMenu, "3D View", kSceneViewAction, QKeySequence(Qt::Key_F3), true,
        &VistraMainWindow::sl_SceneView);
    add(fillMenu, "Disable Fill", kDisableFillAction, QKeySequence(), true, &VistraMainWindow::sl_Fill);
    add(vek, "Connect", kConnectAction, QKeySequence(Qt::SHIFT | Qt::Key_Return), true,
        &VistraMainWindow::sl_Connect);
    add(vek, "Pause", kPauseAction, QKeySequence(Qt::CTRL | Qt::Key_P), true, &VistraMainWindow::sl_Pause);
    add(vek, "Fast Mode", kFastModeAction, QKeySequence(Qt::Key_F), true, &VistraMainWindow::sl_FastMode);

    // The dock-window menu lists the tool bars and docks that exist when it opens.
    connect(windows, &QMenu::aboutToShow, this, [this, windows] {
        windows->clear();
        std::unique_ptr<QMenu> popup(createPopupMenu());
        if (popup) windows->addActions(popup->actions());
    });
}

void VistraMainWindow::createControls() {
    controls_ = new QToolBar(QStringLiteral("Controls"), this);
    controls_->setObjectName(QStringLiteral("Controls"));
    controls_->setMovable(true);
    addToolBar(Qt::TopToolBarArea, controls_);

    auto* row = new QWidget(controls_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    MakeSpacer(row, 2);

    MakeToggleButton(QStringLiteral("Connect"), kConnectButton, row, buttons_, 30, kButtonSpacer,
                     QStringLiteral("liveOff.png"), QStringLiteral("liveOff.png"));
    MakeToggleButton(QString(), kPauseButton, row, buttons_, 22, kButtonSpacer, QStringLiteral("pause.png"),
                     QStringLiteral("pause.png"));
    layout->addWidget(new Separator(controls_->orientation(), row, controls_, QStringLiteral("separator")));
    cameraBox_ = new QComboBox(row);
    cameraBox_->addItem(QStringLiteral("Camera --"));
    layout->addWidget(cameraBox_);
    MakeToggleButton(QStringLiteral("Show Data"), kShowDataButton, row, buttons_, 25, kButtonSpacer,
                     QString(), QString());
    MakeToggleButton(QStringLiteral("Multi View"), kMultiViewButton, row, buttons_, 25, kButtonSpacer,
                     QString(), QString());
    controls_->addWidget(row);

    buttons_[kConnectButton]->setToolTip(QStringLiteral("Connect to vek server"));
    buttons_[kPauseButton]->setToolTip(QStringLiteral("Pause stream"));
    buttons_[kShowDataButton]->setToolTip(QStringLiteral("Show data table window"));
    buttons_[kMultiViewButton]->setToolTip(QStringLiteral("Toggle Multi-Camera and Single-Camera views"));
    connect(buttons_[kConnectButton], &QPushButton::clicked, this, &VistraMainWindow::sl_Connect);
    connect(buttons_[kPauseButton], &QPushButton::clicked, this, &VistraMainWindow::sl_Pause);
    connect(buttons_[kShowDataButton], &QPushButton::clicked, this, &VistraMainWindow::sl_ShowDataDialog);
    connect(buttons_[kMultiViewButton], &QPushButton::clicked, this, &VistraMainWindow::sl_MultiView);
    connect(cameraBox_, &QComboBox::activated, this, &VistraMainWindow::sl_Camera);
}

void VistraMainWindow::createDataDialog() {
    dataDialog_ = new DataDialog(this, &session());
    dataDialog_->setMinimumSize(250, 300);
    dataDialog_->resize(400, 300);
    connect(dataDialog_, &DataDialog::sg_Close, this, &VistraMainWindow::sl_ShowDataDialog);
    connect(dataDialog_->delaySlider(), &QSlider::valueChanged, this, &VistraMainWindow::sl_ImageDelay);
}

void VistraMainWindow::sl_VekTimerEvent() {
    DetectorSession& s = session();
    int r = 0;
    if (s.connected) {
        watchServerFrequency();
        for (int i = 0; i < kFramesPerTick; ++i) {
            r = s.Update();
            if (r <= 0) break;
            if (cameraBox_->count() != static_cast<int>(s.cameras.size())) rebuildCameraBox();
            processFrame();
        }
        if (r == -1) {
            disconnectSession();
            refreshConnectionState();
        }
    }
    showSelectedCamera();
    // Each pending code is reported once.
    const QString message = ReportHandlerError(s.lastError, std::cout);
    s.lastError = 0;
    if (!message.isEmpty()) statusBar()->showMessage(message);
    // Every label change recomposes the window through GL: at most once
    // per repaint period, not on every 2 ms tick.
    const uint32_t now = clock_.now();
    if (now - lastLabelRefresh_ >= static_cast<uint32_t>(repaintPeriodMs()) * 1000u) {
        lastLabelRefresh_ = now;
        refreshStatusLabels();
    }
}

void VistraMainWindow::rebuildCameraBox() {
    cameraBox_->clear();
    for (std::size_t i = 0; i < session().cameras.size(); ++i)
        cameraBox_->addItem(QStringLiteral("Camera %1").arg(i + 1));
}

// The view changes its camera by itself (Tab, fewer cameras): the box
// and the data dialog show the camera drawn.
void VistraMainWindow::showSelectedCamera() {
    const int selected = view()->selectedCamera;
    if (cameraBox_->count() == static_cast<int>(session().cameras.size()) && selected < cameraBox_->count() &&
        cameraBox_->currentIndex() != selected)
        cameraBox_->setCurrentIndex(selected);
    if (dataDialog_->camera() != selected) dataDialog_->showCamera(selected);
}

void VistraMainWindow::processFrame() {
    DetectorSession& s = session();
    DetectorWidget* v = view();
    if (!s.connected || !v) return;
    trackerBar_->UpdateMarkersSeen();
    const int cameras = static_cast<int>(s.cameras.size());
    if (v->selectedCamera >= cameras) v->selectedCamera = 0;
    s.CollectPeaks(v->selectedCamera);
    if (cameras != s.tables.tableCameras()) {
        v->selectedCamera = 0;
        sl_Camera(0);
    }
    const uint32_t now = clock_.now();
    if (now - lastTableRefresh_ >= static_cast<uint32_t>(imageDelay_) * 1000u) {
        if (dataDialog_->isVisible()) dataDialog_->Fill(v->selectedCamera);
        lastTableRefresh_ = now;
    }
}

// Judged only on rates measured while the server sent at one frequency for
// a whole period: a period holding a stop or a change of frequency (or the
// first second of a connection) says nothing about this client.
void VistraMainWindow::rateMeasured() {
    const DetectorSession& s = session();
    if (!autoFastMode_.periodEnded(steadyRate(), steadyFrequency(), s.lastFrame, s.fastMode) || !s.connected)
        return;
    statusBar()->showMessage(QStringLiteral("auto-enabling fast mode"), kMessageMs);
    sl_FastMode();
}

void VistraMainWindow::takeSettings() {
    configToolbar()->Apply();
    settings() = configToolbar()->settings();
}

void VistraMainWindow::connectSession(bool startStreaming, bool setFrequency) {
    takeSettings();
    // The session takes the new connection's mode now (connecting would
    // anyway): the tracker bar must not judge by the last connection's.
    session().flags = settings().flags;
    madeTrackerToConnect_ = false;
    if ((settings().flags & VEK_SLAVE) == 0) {
        const bool none = session().trackers.empty();
        trackerBar_->ResyncTrackers();
        madeTrackerToConnect_ = none && !session().trackers.empty();
    }
    ViewerMainWindow::connectSession(startStreaming, setFrequency);
    if (session().connected && (session().flags & VEK_SLAVE) != 0) trackerBar_->setEnabled(false);
    session().ClearTables();
    refreshConnectionState();
}

void VistraMainWindow::disconnectSession() {
    ViewerMainWindow::disconnectSession();
    trackerBar_->setEnabled(true);
    // Nothing of the ended connection stays on show: the marker list is
    // empty now, and so are the statistics.
    trackerBar_->UpdateMarkersSeen();
    session().ClearTables();
    dataDialog_->Fill(view()->selectedCamera);
}

void VistraMainWindow::refreshConnectionState() {
    const DetectorSession& s = session();
    QPushButton* connectButton = buttons_[kConnectButton];
    connectButton->setChecked(s.connected);
    connectButton->setIcon(
        MakeIconSet(s.connected ? QStringLiteral("liveOn.png") : QStringLiteral("liveOff.png"),
                    QStringLiteral("liveOff.png")));
    connectButton->clearFocus();
    action(kConnectAction)->setChecked(s.connected);
    if (paused_ && !s.connected) sl_Pause();
    const bool slave = (s.flags & VEK_SLAVE) != 0;
    action(kDisableFillAction)->setEnabled(!((s.connected && settings().interpolate > 0) || slave));
}

bool VistraMainWindow::offerSlaveConnection(int code) {
    return AskChoice(this, QStringLiteral("Vek Init Error"), SlaveOfferText(code), QStringLiteral("&Connect"),
                     QStringLiteral("&Ok"));
}

void VistraMainWindow::initError(int code) {
    if (code >= 1 && LibraryHasText(code) && !IsKeyRefusal(code)) {
        if (offerSlaveConnection(code)) {
            // A slave uses the master's trackers and makes none of its own.
            if (madeTrackerToConnect_) trackerBar_->RemoveMaxMarkersTracker();
            configToolbar()->slaveBox()->setChecked(true);
            configToolbar()->sl_Slave();
            connectSession(true, true);
        }
        return;
    }
    ViewerMainWindow::initError(code);
}

// Ends the event loop as Qt 3's quit did. Qt 6's quit() first asks every
// window to close and gives up when one refuses (the data dialog only hides
// itself), depending on the order in which it asks.
void VistraMainWindow::sl_Quit() { QCoreApplication::exit(0); }

void VistraMainWindow::sl_Connect() {
    controls_->setFocus();
    if (session().connected)
        disconnectSession();
    else
        connectSession(true, true);
    refreshConnectionState();
}

void VistraMainWindow::sl_Pause() {
    const bool connected = session().connected;
    if (!connected && !paused_) {
        buttons_[kPauseButton]->setChecked(false);
        return;
    }
    paused_ = !paused_;
    SetHighlight(buttons_[kPauseButton], paused_);
    action(kPauseAction)->setChecked(paused_);
    session().SetStreaming(!paused_);
}

void VistraMainWindow::sl_FastMode() {
    session().fastMode = !session().fastMode;
    action(kFastModeAction)->setChecked(session().fastMode);
}

void VistraMainWindow::sl_Reset() {
    view()->zoom = 1;
    view()->panX = view()->panY = 0;
    view()->update();
}

void VistraMainWindow::sl_Fill() {
    session().fill = !session().fill;
    action(kDisableFillAction)->setChecked(!session().fill);
    session().ApplyTrackerOptions();
}

void VistraMainWindow::sl_FullScreen() {
    fullScreen_ = !fullScreen_;
    setWindowState(windowState() ^ Qt::WindowFullScreen);
    action(kFullScreenAction)->setChecked(fullScreen_);
    statusBar()->setVisible(!fullScreen_);
    controls_->setVisible(!fullScreen_);
    if (fullScreen_) {
        settingsShown_ = !configToolbar()->isHidden();
        trackersShown_ = !trackerBar_->isHidden();
        if (settingsShown_) configToolbar()->hide();
        if (trackersShown_) trackerBar_->hide();
        return;
    }
    if (settingsShown_) configToolbar()->show();
    if (trackersShown_) trackerBar_->show();
}

void VistraMainWindow::sl_Camera(int) {
    const int index = cameraBox_->currentIndex();
    view()->update();
    if (index >= 0 && index < static_cast<int>(session().cameras.size())) {
        view()->selectedCamera = index;
        dataDialog_->showCamera(index);
        return;
    }
    view()->selectedCamera = 0;
    dataDialog_->setWindowTitle(QStringLiteral("Camera 1"));
    cameraBox_->clear();
    cameraBox_->addItem(QStringLiteral("Camera 1"));
}

void VistraMainWindow::sl_ImageDelay(int delay) {
    imageDelay_ = delay;
    dataDialog_->delayLabel()->setNum(delay);
}

void VistraMainWindow::sl_ShowDataDialog() {
    dataDialog_->setVisible(!dataDialog_->isVisible());
    SetHighlight(buttons_[kShowDataButton], dataDialog_->isVisible());
}

void VistraMainWindow::sl_MultiView() {
    view()->multiView = !view()->multiView;
    view()->update();
    SetHighlight(buttons_[kMultiViewButton], view()->multiView);
}

void VistraMainWindow::sl_SceneView() {
    showSceneView(!sceneViewShown());
    action(kSceneViewAction)->setChecked(sceneViewShown());
}

// Qt's main-window layout keeps the docks lined up by itself.
void VistraMainWindow::sl_LineUp(QDockWidget*) {}

void VistraMainWindow::sl_ToggleFreq() {
    // The server refuses a slave's frequency change and ends its session.
    if ((session().flags & VEK_SLAVE) != 0) {
        statusBar()->showMessage(QStringLiteral("slave mode: only the master can change the frequency"),
                                 kMessageMs);
        return;
    }
    session().ToggleFrequency();
}
