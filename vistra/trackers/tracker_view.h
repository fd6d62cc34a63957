// A titled box holding the marker cells of one tracker; selections leave
// it as marker ids (vektk::MarkerId of the tracker id and the cell index).
#pragma once

#include <QGroupBox>

#include <vector>

class GridView;

class TrackerView : public QGroupBox {
    Q_OBJECT
public:
    TrackerView(QWidget* parent, int trackerId, const QString& title);

    int trackerId() const { return trackerId_; }
    GridView* grid() const { return grid_; }
    void SetStates(const std::vector<int>& states);
    void ClearStates();

public slots:
    void sl_MarkerSelected(int index);
    void sl_MarkerDragSelected(int index);

signals:
    void sg_MarkerSelected(int markerId);
    void sg_MarkerDragSelected(int markerId);

private:
    int trackerId_;
    GridView* grid_;  // child
};
