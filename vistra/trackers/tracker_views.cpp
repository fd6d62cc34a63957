#include "trackers/tracker_views.h"

#include <QVBoxLayout>

#include <algorithm>
#include <iostream>

#include "trackers/grid_view.h"
#include "trackers/tracker_view.h"

TrackerViews::TrackerViews(QWidget* parent, glview::MicrosecondSource clock)
    : QScrollArea(parent), inner_(new QWidget), column_(new QVBoxLayout(inner_)), clock_(clock) {
    column_->setContentsMargins(3, 3, 3, 3);
    column_->setSpacing(5);
    setWidget(inner_);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

TrackerView* TrackerViews::AddView(int trackerId, const QString& title) {
    if (trackerId < 0) return nullptr;
    auto* view = new TrackerView(inner_, trackerId, title);
    const auto after = std::find_if(views_.begin(), views_.end(),
                                    [trackerId](const TrackerView* v) { return v->trackerId() > trackerId; });
    views_.insert(after, view);
    rebuildLayout();
    return view;
}

void TrackerViews::rebuildLayout() {
    while (QLayoutItem* item = column_->takeAt(0)) delete item;
    for (TrackerView* view : views_) {
        view->ClearStates();
        view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
        column_->addWidget(view);
    }
    column_->addStretch();
}

void TrackerViews::RemoveViews(int trackerId) {
    for (auto it = views_.begin(); it != views_.end();) {
        if ((*it)->trackerId() != trackerId) {
            ++it;
            continue;
        }
        column_->removeWidget(*it);
        delete *it;
        it = views_.erase(it);
    }
}

void TrackerViews::Update(const vektk::ViewSession& session) {
    const uint32_t now = clock_.now();
    for (TrackerView* view : views_) {
        const auto tracker =
            std::find_if(session.trackers.begin(), session.trackers.end(),
                         [view](const vektk::Tracker& t) { return t.id == view->trackerId(); });
        if (tracker == session.trackers.end()) {
            std::cerr << "error, TrackerView::Update(): Tracker Missing" << std::endl;
            return;
        }
        view->SetStates(TrackerCellStates(*tracker, session, now, lastSeen_));
    }
}

void TrackerViews::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

void TrackerViews::relayout() {
    for (TrackerView* view : views_) {
        view->resize(width() - 10, view->height());
        view->grid()->layoutCells();
    }
    update();
}
