// Toolkit-independent OpenGL view: camera, lights, frame sequence, key and
// mouse bindings, picking pass and frame-rate clock. Adapters supply the
// window through the abstract operations of GLViewInterface.
#pragma once

#include <GL/gl.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include <veksock.h>

#include "gl_view_interface.h"
#include "grid_picture.h"
#include "light_source.h"
#include "pick_name.h"
#include "stopwatch.h"
#include "view_camera.h"

namespace vektk {
class ViewSession;
}

namespace glview {

// Picking modes.
enum PickMode { kPickNone = 0, kPickBand = 1, kPickBandAdd = 2, kPickNearestAdd = 3, kPickNearest = 4 };

// Slots of the shape display lists (slot 1 is never built).
enum ShapeList {
    kAxesList = 0,
    kGridList = 2,
    kSolidCubeList = 3,
    kWireCubeList = 4,
    kSolidSphereList = 5,
    kWireSphereList = 6
};

constexpr uint32_t kDoubleClickMicroseconds = 200000;
constexpr int kSelectionBufferSize = 1024;

class GLViewCore : public GLViewInterface {
public:
    explicit GLViewCore(MicrosecondSource clock = steadyMicroseconds);

    void draw() override;
    void idle() override {}
    bool key(int ascii, bool pressed) override;
    bool mouse(const MouseState& state) override;

    virtual void resetCamera();
    virtual void initLights();
    virtual void initExtra() {}
    virtual void beginOverlay();
    virtual void setupView();
    virtual void beginPick();
    // The default 3D scene and its overlay; views replace them.
    virtual void drawOverlay();
    virtual void drawScene();
    virtual void drawPickables();
    virtual void endPick();
    // True when the event is consumed because the ray cannot be computed.
    virtual bool updatePointerRay(const MouseState& state);
    virtual bool pointerInput(const MouseState& state);
    virtual void clearSelection();
    virtual int processHits(int count);
    virtual int applyHits(const std::vector<PickName>& names);
    // Text at a point of the current GL matrices ("Helvetica" 8); the
    // adapter draws it, the core alone draws no text.
    virtual void drawText(float, float, float, const std::string&) {}

    void drawCameras();
    void buildConeLists();
    void drawCameraWarning(float halfWidth, float halfHeight);
    void drawBar(float top, float bottom, float left, float right);
    // Items under the pointer ray, as an index into the session's list; -1 none.
    int markerUnderPointer() const;
    int rigidUnderPointer() const;
    int cameraUnderPointer() const;

    // Owner's start-up once the GL context exists.
    void initialise();
    // Deletes the display lists, with their context current; they are
    // built again when next drawn.
    void releaseLists();
    // True while the camera moves by itself (a velocity is set), so that
    // the view needs frames even when nothing else changes.
    bool moving() const;

    Stopwatch& stopwatch() { return stopwatch_; }

    float scale = 1.0f;
    std::vector<GLuint> shapeLists = std::vector<GLuint>(7, 0);
    std::vector<GLuint> cameraLists;
    int cameraListsDirty = 1;
    float frustumLength = 1500;
    float gridSize = 1000;
    int gridLines = 14;
    std::string unitLabel = "m";
    bool colorByFlags = false, showGrid = true, markerLabels = false, showMarkers = true, showRigids = true,
         showCameras = true, showShadows = false, showAllCameras = false, showCameraExtra = false,
         showMouseInfo = false, showCameraStands = false, showAxes = true;
    std::array<GLuint, kSelectionBufferSize> selectionBuffer{};
    int pickRequested = 0;
    int pickMode = kPickNone;
    float anchorX = 0, anchorY = 0;
    int hitCount = 0;
    Vec3f lastPickPoint{0, 0, 0};
    uint32_t lastClickTime = 0;
    int clickArmed = 0;
    ViewCamera camera;
    std::vector<LightSource> lights;
    std::vector<Vec3f> measurePoints, measurePointsSecond;
    std::vector<VEKCamera> cachedCameras;
    std::vector<std::pair<int, int>> sceneLinks;
    vektk::ViewSession* session = nullptr;  // not owned

protected:
    // What a left drag adds to the target; false when the drag moves nothing.
    bool panDisplacement(const MouseState& state, Vec3f& displacement) const;
    // What the session keys do: select every marker ('a'); add the
    // position of the marker under the pointer, else of the rigid body
    // under it, to the first measurement list ('g'); link every pair of
    // selected markers ('l'), or unlink them ('L').
    void selectAllMarkers();
    void measureUnderPointer();
    void linkSelectedMarkers(bool link);
    // World units per millimetre: the session's, 0.001 without one.
    float sessionScale() const;
    // Compiles the shape lists that are still missing.
    void buildShapeLists();
    // The rotation centre: its point on the floor, a line up to it, and a
    // ring of `ringRadius` world units around it on the floor.
    void drawPivot(float ringRadius);

private:
    void drawGrid();
    void drawMarkers();
    void drawRigids();
    void drawRulers();
    void drawMarks();
    void drawAxisGizmo();
    void drawRubberBand();
    void drawInfoLine();
    void drawSelectionRing(const Vec3f& point, float radius, float width);
    // The nearest visible item within `radius` of the pointer ray.
    template <typename List, typename Position>
    int itemUnderPointer(const List& items, Position position, float radius) const;

    // True when this left press completes a double click.
    bool doubleClick();
    bool zoom(const MouseState& state);
    void pan(const MouseState& state);
    bool hitHorizontalPlane(const Vec3f& origin, const Vec3f& dir, float height, Vec3f& hit) const;

    Stopwatch stopwatch_;
    GridPicture gridPicture_;
};

}  // namespace glview
