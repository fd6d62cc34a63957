// The "Settings" dock: the server (typed, remembered under alias names or
// found by a discovery scan), mode, frequency, post-processing and
// interpolation of the next connection, saved in the user's ".tavrix".
#pragma once

#include <QDockWidget>

#include <vector>

#include "settings/server_list.h"
#include "vek.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

class ConfigToolbar : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int kExtentWidth = 230;   // the dock's width where it is docked
    static constexpr int kMinimumWidth = 200;  // of the controls

    // showSlave: the "Slave Mode " check box is shown. specialFlags: the
    // applied flags are 0xa00 instead of the mode and post-processing bits.
    // Loads ".tavrix" and applies the widgets.
    ConfigToolbar(const QString& title, QWidget* parent, bool showSlave = true, bool specialFlags = false);

    // The owning window attaches its session; until then sl_Slave() does
    // nothing and Apply() leaves the server text alone.
    void attach(vektk::VEK* session) { session_ = session; }
    bool attached() const { return session_ != nullptr; }

    // Builds the settings from the widgets: 1 when the server text was set,
    // 0 when not attached yet.
    int Apply();
    // Loads ".tavrix" into the widgets: -1 when it cannot be opened, else 0.
    int Load();
    const vektk::ConnectionSettings& settings() const { return settings_; }
    const std::vector<ServerAlias>& aliases() const { return aliases_; }

    // Puts `server` first in the server box and selects it; an entry equal
    // to it is dropped, the others keep their order.
    void putServerFirst(const QString& server);

    QCheckBox* slaveBox() const { return slave_; }
    QComboBox* serverBox() const { return server_; }
    QComboBox* modeBox() const { return mode_; }
    QComboBox* frequencyBox() const { return frequency_; }
    QComboBox* postprocessBox() const { return postprocess_; }
    QSpinBox* interpolateBox() const { return interpolate_; }
    QPushButton* saveButton() const { return save_; }

public slots:
    void sl_Slave();
    void sl_ServerValueChanged(int);
    void sl_Save();

signals:
    void sg_Scanned();

private:
    void createWidgets(bool showSlave);
    void showServers(const std::vector<std::string>& entries);
    void scan();

    vektk::ConnectionSettings settings_{"", 480.0f};
    std::vector<ServerAlias> aliases_;
    vektk::VEK* session_ = nullptr;  // shared with the owning window, not owned
    bool specialFlags_ = false;

    // Children of the dock's inner widget.
    QCheckBox* slave_ = nullptr;
    QComboBox* server_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* frequency_ = nullptr;
    QComboBox* postprocess_ = nullptr;
    QSpinBox* interpolate_ = nullptr;
    QPushButton* save_ = nullptr;
};
