// Base main window: owns the session and the detector view, connects and
// disconnects, measures the server frame rate and shows the status labels.
#pragma once

#include <QMainWindow>

#include <array>
#include <memory>

#include "session/detector_session.h"
#include "session/frame_age_meter.h"
#include "detector_view/detector_view.h"
#include "glwidget/qt_view_widget.h"
#include "scene_view/scene_widget.h"
#include "stopwatch.h"

class ConfigToolbar;
class QLabel;
class QStackedWidget;

using DetectorWidget = QtViewWidget<DetectorView>;

class ViewerMainWindow : public QMainWindow {
public:
    ViewerMainWindow(QWidget* parent, const QString& name, float fps);
    ~ViewerMainWindow() override;

    DetectorSession& session() { return *session_; }
    DetectorWidget* view() const { return view_; }
    // The live 3D view; the central view shows it or the detector view.
    SceneWidget* sceneView() const { return sceneView_; }
    bool sceneViewShown() const;
    void showSceneView(bool shown);
    // The "Settings" dock, docked right.
    ConfigToolbar* configToolbar() const { return config_; }
    vektk::ConnectionSettings& settings() { return settings_; }
    float measuredRate() const { return measuredRate_; }
    // The rate of the last whole measuring period during which the server's
    // frequency stayed the same, and that frequency; both 0 when that
    // period saw the frequency change or the stream stop.
    float steadyRate() const { return steadyRate_; }
    float steadyFrequency() const { return steadyFrequency_; }
    int repaintPeriodMs() const { return repaintPeriodMs_; }
    QLabel* statusLabel(int index) const { return labels_[static_cast<std::size_t>(index)]; }

    virtual void takeSettings() {}
    virtual void connectSession(bool startStreaming, bool setFrequency);
    virtual void disconnectSession();
    virtual void autoConnect();
    virtual void refreshConnectionState() {}
    virtual void refreshStatusLabels();
    virtual void createStatusLabels();
    // Fills `text` with the init-error text of `code` and shows it.
    virtual void errorText(int code, QString& text);
    virtual void initError(int code);

protected:
    void timerEvent(QTimerEvent* event) override;
    // Shows a "Vek Init Error" information box.
    void showInitErrorBox(const QString& text);
    // Notes the server's frequency as this client gets it (0 while its
    // stream is off); the polling loop calls it so that a short stop inside
    // a measuring period is seen.
    void watchServerFrequency();
    // A measuring period has ended: the rates above are new.
    virtual void rateMeasured() {}

    bool autoConnectPending_ = false;
    glview::Stopwatch clock_;

private:
    void updateMeasuredRate();
    void resetMeasuredRate();
    void sampleFrameAge();
    void showFrameAge();  // the median of the period, "?" or nothing, and its tool tip
    // Repaints the shown view when its picture may have changed: a new
    // frame, a change of connection or view, a view that moves by itself;
    // otherwise once a second.
    void repaintShownView();

    vektk::ConnectionSettings settings_{"", 480.0f};
    std::unique_ptr<DetectorSession> session_;
    float measuredRate_ = 0;
    QStackedWidget* views_ = nullptr;   // central widget, owned by the window
    DetectorWidget* view_ = nullptr;    // in views_
    SceneWidget* sceneView_ = nullptr;  // in views_
    ConfigToolbar* config_ = nullptr;   // dock, owned by the window
    // The six status labels, then the age of the frame on screen.
    std::array<QLabel*, 7> labels_{};
    bool ageUnknown_ = false;  // a frame came this period whose capture time could not be told
    FrameAgeMeter frameAge_;
    QString frameAgeText_;
    int rateFrame_ = 0;
    uint32_t rateTime_ = 0;
    float periodFrequency_ = 0;  // the server's frequency during the current period
    bool periodSteady_ = false;  // ... unchanged since the period began
    float steadyRate_ = 0;
    float steadyFrequency_ = 0;
    int timerId_ = 0;
    int repaintPeriodMs_ = 16;
    int paintedFrame_ = -1;
    bool paintedConnected_ = false;
    QWidget* paintedView_ = nullptr;
    uint32_t paintedTime_ = 0;
};
