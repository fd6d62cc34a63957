// One row of the tracker list: a check box that switches its tracker on
// and off, the tag "[PT:id]" / "[RB:id]" and an info text.
#pragma once

#include <QTreeWidgetItem>

#include <functional>

// How a row's tracker was made.
enum TrackerKind {
    kLedListTracker = 0,  // a list of LED ids: selection, unused ids, trim
    kPointFileTracker = 2,
    kRigidFileTracker = 3,
    kMaxMarkersTracker = 4  // LED ids 0 .. Max Markers - 1; one at a time
};

class TrackerItem : public QTreeWidgetItem {
public:
    // Called with the row's tracker id and the new state whenever the
    // check box changes.
    using Toggled = std::function<void(int trackerId, bool on)>;

    // Created checked.
    TrackerItem(QTreeWidget* list, Toggled toggled);

    // Calls `toggled` when the check box changes.
    void setData(int column, int role, const QVariant& value) override;

    bool isRigid() const { return kind == kRigidFileTracker; }

    int trackerId = -1;
    int kind = kLedListTracker;
    QString fileName;  // full path of the file it was loaded from

private:
    Toggled toggled_;
};
