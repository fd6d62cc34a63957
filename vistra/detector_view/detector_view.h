// The 2D detector view: the peaks of one camera as full-window lines with
// labelled marker crossings, or every camera as a grid of diamond cells.
#pragma once

#include <vector>

#include "detector_view/vertex_runs.h"
#include "gl_view_core.h"

class DetectorSession;

class DetectorView : public glview::GLViewCore {
public:
    using glview::GLViewCore::GLViewCore;

    void beginOverlay() override;
    void setupView() override {}
    void drawOverlay() override;
    // The detector view draws no 3D scene.
    void drawScene() override {}
    bool key(int ascii, bool pressed) override;
    bool mouse(const glview::MouseState& state) override;

    // Sets both this view's and the core's session pointer.
    void setDetectorSession(DetectorSession* s);

    int selectedCamera = 0;
    float panX = 0, panY = 0;
    float zoom = 0;  // raised to 1 by the first single-camera drawing
    bool multiView = false;

private:
    void drawSingleCamera();
    void drawPeakLines(const std::vector<ImageRecord>& peaks, float w, float h);
    void drawLineBatches(const std::vector<ImageRecord>& peaks, int detector, float w, float h);
    void drawPeakImage(const std::vector<ImageRecord>& peaks, float w, float h);
    void drawAllCameras();
    int cameraCount() const;
    // The session's fast mode on or off, said on standard output.
    void toggleFastMode();

    DetectorSession* detectorSession_ = nullptr;
    std::vector<uint32_t> peakImage_;
    VertexRuns cell_;  // crossings, or one camera's cell of the multi view  // the picture of dense lines,
                       // kept for its memory
};
