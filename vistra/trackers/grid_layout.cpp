#include "trackers/grid_layout.h"

#include <algorithm>

namespace {

constexpr int kBoxMargin = 30;
constexpr int kMinimumWidth = 165;

}  // namespace

GridLayout ComputeGridLayout(int parentWidth, int cellWidth, int cells) {
    GridLayout g;
    const int w = std::max(parentWidth - kBoxMargin, kMinimumWidth);
    g.cellWidth = std::max(cellWidth, 1);
    g.columns = std::max(w / g.cellWidth, 1);
    g.rows = (cells + g.columns - 1) / g.columns;
    g.width = w + 5;
    g.height = g.rows * GridLayout::kCellHeight + 10;
    return g;
}

int GridLayout::cellAt(QPoint at, QSize gridSize, int cells) const {
    const int x = at.x() - kOffset;
    const int y = at.y() - kOffset;
    if (x < 0 || y < 0 || x > gridSize.width() || y > gridSize.height()) return -1;
    const int column = x / cellWidth;
    const int row = y / kCellHeight;
    if (column >= columns) return -1;
    const int index = std::min(row * columns + column, rows * columns);
    return index <= cells - 1 ? index : -1;
}
