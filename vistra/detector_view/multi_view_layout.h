// Grid of square cells that shows every camera at once.
#pragma once

struct MultiViewLayout {
    int usableWidth = 0, usableHeight = 0;  // window minus a 5-pixel border each side
    int columns = 1, rows = 1;
    int cell = 0;      // cell size in pixels
    float radius = 0;  // half-diagonal extent of a drawn cell
    int offsetX = 0, offsetY = 0;

    // Centre of cell k, pixels from the window centre, y up.
    float centreX(int k) const;
    float centreY(int k) const;
};

MultiViewLayout LayoutCameras(int windowWidth, int windowHeight, int cameraCount);
