#include "trackers/tracker_view.h"

#include <QVBoxLayout>

#include "tracker.h"
#include "trackers/grid_view.h"

TrackerView::TrackerView(QWidget* parent, int trackerId, const QString& title)
    : QGroupBox(title, parent), trackerId_(trackerId), grid_(new GridView(this, 1)) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    connect(grid_, &GridView::sg_MarkerSelected, this, &TrackerView::sl_MarkerSelected);
    connect(grid_, &GridView::sg_MarkerDragSelected, this, &TrackerView::sl_MarkerDragSelected);
}

void TrackerView::SetStates(const std::vector<int>& states) { grid_->SetStates(states); }

void TrackerView::ClearStates() { grid_->ClearStates(); }

void TrackerView::sl_MarkerSelected(int index) {
    if (index >= 0) emit sg_MarkerSelected(vektk::MarkerId(trackerId_, index));
}

void TrackerView::sl_MarkerDragSelected(int index) {
    if (index >= 0) emit sg_MarkerDragSelected(vektk::MarkerId(trackerId_, index));
}
