// The vistra main window: the "Controls" tool bar, menus and actions, the
// 2 ms polling loop and the per-frame processing.
#pragma once

#include <QMainWindow>

#include <vector>

#include "app/viewer_options.h"
#include "window/auto_fast_mode.h"
#include "window/viewer_main_window.h"

class DataDialog;
class QAction;
class QComboBox;
class QDockWidget;
class QMenu;
class QPushButton;
class QTimer;
class QToolBar;
class TrackerBar;

// Button and action slots.
enum ControlButton { kConnectButton = 0, kPauseButton = 1, kShowDataButton = 2, kMultiViewButton = 3 };
enum VistraAction {
    kExitAction = 0,
    kResetAction = 1,
    kFullScreenAction = 2,
    kDisableFillAction = 3,
    kConnectAction = 5,
    kPauseAction = 6,
    kFastModeAction = 7,
    kSceneViewAction = 8
};

class VistraMainWindow : public ViewerMainWindow {
    Q_OBJECT
public:
    VistraMainWindow(QWidget* parent, const QString& name, const ViewerOptions& options);
    // Writes the window settings file first.
    ~VistraMainWindow() override;

    // Apply of the Settings dock, then its settings are the window's.
    void takeSettings() override;
    void connectSession(bool startStreaming, bool setFrequency) override;
    void disconnectSession() override;
    void refreshConnectionState() override;
    void initError(int code) override;

    bool paused() const { return paused_; }
    QComboBox* cameraBox() const { return cameraBox_; }
    QPushButton* button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
    QAction* action(int index) const { return actions_[static_cast<std::size_t>(index)]; }
    QToolBar* controls() const { return controls_; }
    DataDialog* dataDialog() const { return dataDialog_; }
    TrackerBar* trackerBar() const { return trackerBar_; }

public slots:
    void sl_Quit();
    void sl_Connect();
    void sl_Pause();
    void sl_FastMode();
    void sl_Reset();
    void sl_Fill();
    void sl_FullScreen();
    void sl_Camera(int);
    void sl_ImageDelay(int delay);
    void sl_ShowDataDialog();
    void sl_MultiView();
    void sl_SceneView();
    void sl_LineUp(QDockWidget*);
    void sl_VekTimerEvent();
    void sl_ToggleFreq();

private:
    void createMenus();
    void createControls();
    void createDataDialog();
    void createTrackerBar();
    void readWindowSettings();
    void processFrame();
    // Switches fast mode on when this client keeps falling behind.
    void rateMeasured() override;
    void rebuildCameraBox();
    void showSelectedCamera();
    // Asks whether to connect as a slave; true when the user chose to.
    bool offerSlaveConnection(int code);

    bool paused_ = false;
    // The tracker bar made its max-markers tracker for the connection being
    // tried (the session had no tracker).
    bool madeTrackerToConnect_ = false;
    bool fullScreen_ = false;
    bool settingsShown_ = false;  // the Settings dock, when full screen began
    bool trackersShown_ = false;  // the tracker bar, when full screen began
    int imageDelay_ = 32;
    AutoFastMode autoFastMode_;
    std::vector<QPushButton*> buttons_;
    std::vector<QAction*> actions_;
    QToolBar* controls_ = nullptr;
    QComboBox* cameraBox_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    DataDialog* dataDialog_ = nullptr;  // a window of its own, owned as a child
    TrackerBar* trackerBar_ = nullptr;  // dock, owned by the window
    uint32_t lastTableRefresh_ = 0;
    uint32_t lastLabelRefresh_ = 0;
};
