// Where the numbered marker cells of one tracker go: as many columns of
// "0000"-wide cells as fit the box, rows of 15 pixels.
#pragma once

#include <QPoint>
#include <QSize>

struct GridLayout {
    static constexpr int kCellHeight = 15;
    static constexpr int kOffset = 2;  // of the first cell from the grid's corner

    int columns = 1;
    int rows = 0;
    int cellWidth = 1;
    int width = 0;  // the grid's fixed size
    int height = 0;

    // Cell index under (x, y) of the grid, or
    // -1 outside the grid, right of the last column or past the last cell.
    int cellAt(QPoint at, QSize gridSize, int cells) const;
};

// parentWidth: the width of the box holding the grid; cellWidth: the width
// of "0000" in the grid's font.
GridLayout ComputeGridLayout(int parentWidth, int cellWidth, int cells);
