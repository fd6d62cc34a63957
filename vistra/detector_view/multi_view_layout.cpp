#include "detector_view/multi_view_layout.h"

#include <algorithm>
#include <cmath>

MultiViewLayout LayoutCameras(int windowWidth, int windowHeight, int cameraCount) {
    MultiViewLayout l;
    l.usableWidth = windowWidth - 10;
    l.usableHeight = windowHeight - 10;
    const int n = std::max(cameraCount, 0);
    if (l.usableWidth > 0 && l.usableHeight > 0)
        l.columns = std::max(1, static_cast<int>(std::lround(
                                    std::sqrt(static_cast<double>(l.usableWidth) / l.usableHeight * n))));
    l.rows = std::max(1, (n + l.columns - 1) / l.columns);
    const int byHeight = l.usableHeight / l.rows, byWidth = l.usableWidth / l.columns;
    l.cell = byWidth >= byHeight ? byHeight : byWidth;
    l.radius = static_cast<float>(l.cell / 2.1);
    l.offsetX = l.cell / 2 + (l.usableWidth - l.cell * l.columns) / 2;
    l.offsetY = l.cell / 2 + (l.usableHeight - l.cell * l.rows) / 2;
    return l;
}

float MultiViewLayout::centreX(int k) const {
    return static_cast<float>(-usableWidth / 2 + offsetX + (k % columns) * cell);
}

float MultiViewLayout::centreY(int k) const {
    return static_cast<float>(usableHeight / 2 - offsetY - (k / columns) * cell);
}
