// The numbered cells of one tracker's markers, coloured by state; a click
// selects a marker, a drag selects every cell it passes.
#pragma once

#include <QWidget>

#include <vector>

#include "trackers/grid_layout.h"

class GridView : public QWidget {
    Q_OBJECT
public:
    GridView(QWidget* parent, int cells);

    // A new count lays the cells out again.
    void SetStates(const std::vector<int>& states);
    void ClearStates();
    // Fits the cells to the width of the parent box.
    void layoutCells();

    int cellCount() const { return static_cast<int>(states_.size()); }
    const std::vector<int>& states() const { return states_; }
    const GridLayout& gridLayout() const { return layout_; }
    // The rectangle of cell `index` in the grid.
    QRect cellRect(int index) const;

signals:
    // A cell index, or -1 outside the cells.
    void sg_MarkerSelected(int);
    void sg_MarkerDragSelected(int);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int cellAt(QPoint at) const;

    std::vector<int> states_;
    GridLayout layout_;
    bool pressed_ = false;
};
