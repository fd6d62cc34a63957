#include "trackers/tracker_item.h"

#include <utility>

TrackerItem::TrackerItem(QTreeWidget* list, Toggled toggled)
    : QTreeWidgetItem(list), toggled_(std::move(toggled)) {
    setFlags(flags() | Qt::ItemIsUserCheckable);
    setCheckState(0, Qt::Checked);
}

void TrackerItem::setData(int column, int role, const QVariant& value) {
    const bool checkChange = role == Qt::CheckStateRole && column == 0 && data(column, role) != value;
    QTreeWidgetItem::setData(column, role, value);
    if (checkChange && toggled_) toggled_(trackerId, checkState(0) == Qt::Checked);
}
