// The "Markers" page: one box of marker cells per tracker, sorted by
// tracker id, in a scrolling column; the cells follow the session's
// markers (seen, lost, selected).
#pragma once

#include <QScrollArea>

#include <vector>

#include "stopwatch.h"
#include "trackers/cell_states.h"

class QVBoxLayout;
class TrackerView;

class TrackerViews : public QScrollArea {
    Q_OBJECT
public:
    // `clock` gives the microseconds of the last-seen times.
    explicit TrackerViews(QWidget* parent, glview::MicrosecondSource clock = glview::steadyMicroseconds);

    // The new view, or nullptr for an id below 0.
    TrackerView* AddView(int trackerId, const QString& title);
    void RemoveViews(int trackerId);
    // Stops with a message at the first view whose tracker the session
    // does not hold.
    void Update(const vektk::ViewSession& session);
    void ClearLastSeen() { lastSeen_.times.clear(); }
    // Fits the boxes and their cells to the page's width.
    void relayout();

    const std::vector<TrackerView*>& views() const { return views_; }
    LastSeenTimes& lastSeen() { return lastSeen_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuildLayout();

    std::vector<TrackerView*> views_;  // children of the inner widget
    QWidget* inner_;
    QVBoxLayout* column_;
    LastSeenTimes lastSeen_;
    glview::Stopwatch clock_;
};
