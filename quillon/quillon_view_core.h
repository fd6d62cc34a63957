// The view core as the rigid body editor uses it: a world in millimetres,
// its own camera start, keys and mouse rules that also edit the pose loaded
// into the client library, and a scene of grid, axes and white markers.
// The toolkit adapter supplies the text drawing and the way to quit.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gl_view_core.h"
#include "key_table.h"  // kEscape, the key that quits

class QuillonViewCore : public glview::GLViewCore {
public:
    explicit QuillonViewCore(glview::MicrosecondSource clock = glview::steadyMicroseconds);

    bool key(int ascii, bool pressed) override;
    void resetCamera() override;
    bool pointerInput(const glview::MouseState& state) override;
    void drawScene() override;
    void drawOverlay() override;

    // Text at (x, y, z) of the current GL matrices in the GLUT bitmap font
    // of that index (0 .. 6).
    virtual void drawText(const std::string& text, float x, float y, float z, int fontIndex) = 0;
    // Ends the program (the Escape key).
    virtual void quit() = 0;

    // Pose of the reported data, as loaded into the client library.
    std::array<float, 7> editedPose{0, 0, 0, 1, 0, 0, 0};
    // Rigid body files; the first one is the file being edited.
    std::vector<std::string> rigidFiles;
    // Data frames per second of the last whole second.
    float dataRate = 0;

private:
    void sendPose();
    // The edited pose back to the identity, sent.
    void resetPose();
    // The point looked at becomes the data's origin.
    void centrePoseOnTarget();
    // Turns the edited pose by `degrees` about the unit axis (x, y, z).
    void turnPose(float degrees, float x, float y, float z);
    void drawGrid();
    void drawMarkers();
    void drawAxisGizmo();
    void measureDataRate();

    uint32_t rateWindowStart_ = 0;
    int rateWindowFrame_ = 0;
};
