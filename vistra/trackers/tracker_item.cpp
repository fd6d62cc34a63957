#include "trackers/tracker_item.h"

#include "trackers/tracker_bar.h"

TrackerItem::TrackerItem(QTreeWidget* list, TrackerBar* owner) : QTreeWidgetItem(list), owner_(owner) {
    setFlags(flags() | Qt::ItemIsUserCheckable);
    setCheckState(0, Qt::Checked);
}

void TrackerItem::setData(int column, int role, const QVariant& value) {
    const bool checkChange = role == Qt::CheckStateRole && column == 0 && data(column, role) != value;
    QTreeWidgetItem::setData(column, role, value);
    if (checkChange && owner_) owner_->SetTrackerEnabled(trackerId, checkState(0) == Qt::Checked);
}
