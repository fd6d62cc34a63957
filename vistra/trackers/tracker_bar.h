// The "Trackers" dock: the session's trackers as check-box rows, made from
// unused LED ids, from the selected markers or from ".pt" / ".rb" files;
// deleted, trimmed to the markers seen, saved, switched on and off; and the
// "Markers" page with one grid of marker cells per tracker.
#pragma once

#include <QDockWidget>

#include <memory>
#include <utility>
#include <vector>

#include "stopwatch.h"
#include "trackers/seen_markers.h"
#include "view_session.h"

class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class TrackerItem;
class TrackerViews;

class TrackerBar : public QDockWidget {
    Q_OBJECT
public:
    static constexpr int kExtentWidth = 230;  // the dock's width where it is docked

    // rate: refreshes of the marker grids per second. `clock` gives the
    // grids' last-seen times.
    TrackerBar(QWidget* parent, vektk::ViewSession* session, float rate,
               glview::MicrosecondSource clock = glview::steadyMicroseconds);

    // Loads one ".pt" or ".rb" file as a new tracker: 1 done, 0 for another
    // extension, -1 when the file could not be read (the user is told why).
    int AddTrackerFile(const QString& path);
    // Sends the session's trackers to the server again (a max-markers
    // tracker when there is none): 0, or 1 when in slave mode.
    int ResyncTrackers();
    // Counts the markers of the current frame seen in this window.
    void UpdateMarkersSeen();
    // Disabled (slave mode): busy, buttons and context menu off. The dock
    // itself stays enabled.
    void setEnabled(bool on);

    void CreatePointTracker(const std::vector<int>& leds, int id, bool skipServer);
    void CreateMaxMarkersTracker();
    // Takes the max-markers tracker, if there is one, out of the list, the
    // views and the session.
    void RemoveMaxMarkersTracker();
    // Writes the trackers of `id` to `path` and reports what was saved.
    void SaveTrackerFile(const QString& path, int id);
    // A row's check box: switches the tracker `id` on or off.
    void SetTrackerEnabled(int id, bool on);
    // The popup of a right click for the selected rows; none while busy.
    std::unique_ptr<QMenu> makeContextMenu();

    bool busy() const { return busy_; }
    QTabWidget* tabs() const { return tabs_; }
    QTreeWidget* list() const { return list_; }
    TrackerViews* views() const { return views_; }
    QSpinBox* maxMarkersBox() const { return maxMarkers_; }
    QLabel* seenLabel() const { return seenLabel_; }
    QPushButton* createButton() const { return create_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* trimButton() const { return trim_; }
    QPushButton* saveButton() const { return save_; }
    const SeenMarkers& seenMarkers() const { return seen_; }
    std::vector<TrackerItem*> rows() const;

public slots:
    void sl_SavePT();
    void sl_AddTracker();
    void sl_RemTracker();
    void sl_UpdateTrackers();
    void sl_OptimizeTracker();
    void sl_Unused();
    void sl_SelectionTracker();
    void sl_SelectionChanged();
    void sl_MarkerSelected(int id);
    void sl_MarkerDragSelected(int id);

signals:
    void sg_TrackerCreated();

protected:
    void timerEvent(QTimerEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createWidgets();
    QWidget* makeRow(QWidget* parent);
    // Appends a tracker to the session's, with the session's fill option
    // when fill is off.
    vektk::Tracker& appendTracker(vektk::Tracker tracker);
    TrackerItem* AddRow(const QString& info, int id, int kind);
    void AddTrackerView(int id, const QString& title);
    // Takes the tracker of a row out of the views, the session and the list.
    void removeRow(TrackerItem* row);
    void RefreshMarkerCounts();
    TrackerItem* maxMarkersRow() const;
    std::vector<TrackerItem*> selectedRows() const;
    std::vector<int> CollectSeenLeds(int trackerId);
    // After a change of the trackers nothing of the last frame is shown.
    void forgetFrame();

    vektk::ViewSession* session_;  // shared with the window, not owned
    bool busy_ = false;
    SeenMarkers seen_;
    QTabWidget* tabs_ = nullptr;
    QTreeWidget* list_ = nullptr;
    TrackerViews* views_ = nullptr;
    QSpinBox* maxMarkers_ = nullptr;
    QLabel* seenLabel_ = nullptr;
    std::pair<int, std::size_t> seenShown_{0, 0};  // the counts seenLabel_ shows
    QPushButton* create_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* trim_ = nullptr;
    QPushButton* save_ = nullptr;
    int timerId_ = 0;
};
