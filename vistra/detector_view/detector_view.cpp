// glWindowPos2i (OpenGL 1.4) is declared with the extensions.
#define GL_GLEXT_PROTOTYPES
#include "detector_view/detector_view.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "session/detector_session.h"
#include "detector_view/marker_points.h"
#include "detector_view/multi_view_layout.h"
#include "detector_view/peak_strip.h"
#include "detector_view/vertex_runs.h"
#include "glwidget/text_3d.h"
#include "key_table.h"
#include "tracker.h"

namespace {

constexpr float kSquareHalf = 0.005f;

}  // namespace

void DetectorView::setDetectorSession(DetectorSession* s) {
    detectorSession_ = s;
    session = s;
}

int DetectorView::cameraCount() const {
    return detectorSession_ ? static_cast<int>(detectorSession_->cameras.size()) : 0;
}

void DetectorView::beginOverlay() {
    glDisable(GL_ALPHA_TEST);
    camera.setPixelProjection(width(), height(), 100);
}

void DetectorView::drawOverlay() {
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    if (multiView)
        drawAllCameras();
    else
        drawSingleCamera();
    glEnable(GL_DEPTH_TEST);
}

void DetectorView::drawSingleCamera() {
    const float w = static_cast<float>(width()), h = static_cast<float>(height());
    if (zoom < 1) zoom = 1;
    if (!detectorSession_) return;
    const auto& peaks = detectorSession_->images;
    const std::vector<MarkerPoint> points = BuildMarkerPoints(peaks, selectedCamera);

    glPushMatrix();
    glScalef(w, h, 1);
    glTranslatef(-0.5f, -0.5f, 0);
    glScalef(zoom, zoom, zoom);
    glTranslatef(panX, panY, 0);

    drawPeakLines(peaks, w, h);

    // Crossings in three batches: squares, points, labels.
    cell_.clear();
    for (const MarkerPoint& p : points)
        if (p.flags == (kPointX | kPointY)) cell_.square(p.x, p.y, kSquareHalf);
    for (const MarkerPoint& p : points)
        if (p.flags == (kPointX | kPointY)) cell_.point(p.x, p.y);
    cell_.draw();
    const int trackers = static_cast<int>(detectorSession_->trackers.size());
    for (const MarkerPoint& p : points) {
        if (p.flags != (kPointX | kPointY)) continue;
        const QString label = QString::fromStdString(vektk::MarkerLabel(p.id, trackers));
        DrawText3D(label, p.x + label.size() * 2.5f / w, p.y + 3 / h, 0, QStringLiteral("Helvetica"), 8);
    }
    glPopMatrix();
}

// Dense lines go to GL as one window-sized picture: the software renderer
// pays per window tile a primitive crosses, so hundreds of window-long
// lines cost more than a rectangle copied texel for pixel. Sparse lines
// stay lines. Break-even measured at 800 x 600: about one line per six
// pixels across the window.
constexpr float kStripPixelsPerLine = 6;

void DetectorView::drawPeakLines(const std::vector<ImageRecord>& peaks, float w, float h) {
    long lines[2] = {0, 0};
    for (const ImageRecord& p : peaks)
        if (p.camera == selectedCamera && (p.detector == 0 || p.detector == 1)) ++lines[p.detector];
    if (static_cast<float>(lines[0]) > w / kStripPixelsPerLine ||
        static_cast<float>(lines[1]) > h / kStripPixelsPerLine) {
        drawPeakImage(peaks, w, h);
        return;
    }
    for (const int detector : {0, 1})
        if (lines[detector] > 0) drawLineBatches(peaks, detector, w, h);
}

// Lines of equal colour and width go to GL together: a width change per
// line costs more than the line itself. Unassigned (red) peaks first.
void DetectorView::drawLineBatches(const std::vector<ImageRecord>& peaks, int detector, float w, float h) {
    const float extent = detector == 0 ? w : h;
    struct Batch {
        bool assigned;
        float width;
    };
    std::vector<Batch> batches;
    for (const ImageRecord& peak : peaks) {
        if (peak.camera != selectedCamera || peak.detector != detector) continue;
        const Batch b{peak.id >= 0, PeakLineWidth(peak, extent, zoom)};
        if (std::none_of(batches.begin(), batches.end(),
                         [&](const Batch& o) { return o.assigned == b.assigned && o.width == b.width; }))
            batches.push_back(b);
    }
    std::stable_sort(batches.begin(), batches.end(),
                     [](const Batch& a, const Batch& b) { return !a.assigned && b.assigned; });
    for (const Batch& batch : batches) {
        if (batch.assigned)
            glColor3f(0, 1, 0);
        else
            glColor3f(1, 0, 0);
        glLineWidth(batch.width);
        glBegin(GL_LINES);
        for (const ImageRecord& peak : peaks) {
            if (peak.camera != selectedCamera || peak.detector != detector ||
                (peak.id >= 0) != batch.assigned || PeakLineWidth(peak, extent, zoom) != batch.width)
                continue;
            const float u = PeakLinePosition(peak);
            if (detector == 0) {
                glVertex2f(u, 0);
                glVertex2f(u, 1);
            } else {
                glVertex2f(0, u);
                glVertex2f(1, u);
            }
        }
        glEnd();
    }
    glLineWidth(1);
}

// Both detectors' strips as one picture of the whole window, drawn as
// pixels without blending or alpha test: one window-sized rectangle for
// the renderer, where two strips with an alpha test took two.
void DetectorView::drawPeakImage(const std::vector<ImageRecord>& peaks, float w, float h) {
    const int columns = static_cast<int>(w), rows = static_cast<int>(h);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    auto byte = [](GLfloat c) { return static_cast<uint32_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255)); };
    const uint32_t background =
        byte(clear[0]) | byte(clear[1]) << 8 | byte(clear[2]) << 16 | byte(clear[3]) << 24;
    BuildPeakImage(BuildPeakStrip(peaks, selectedCamera, 0, columns, w, zoom, panX),
                   BuildPeakStrip(peaks, selectedCamera, 1, rows, h, zoom, panY), background, peakImage_);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glWindowPos2i(0, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glDrawPixels(columns, rows, GL_RGBA, GL_UNSIGNED_BYTE, peakImage_.data());
    glPopAttrib();
}

// Each cell's square outlines, unassigned lines and crossings go to GL as
// vertex arrays, in the order they overlap.
void DetectorView::drawAllCameras() {
    if (!detectorSession_) return;
    const int n = cameraCount();
    const MultiViewLayout layout = LayoutCameras(width(), height(), n);
    const float r = layout.radius;
    glPointSize(3);
    for (int k = 0; k < n; ++k) {
        const std::vector<MarkerPoint> points = BuildMarkerPoints(detectorSession_->images, k);
        glPushMatrix();
        glTranslatef(layout.centreX(k), layout.centreY(k), 0);
        glScalef(0.70710677f, 0.70710677f, 0.70710677f);
        glColor3f(1, 1, 1);
        DrawText3D(QString::number(k + 1), -r, r, 0, QStringLiteral("Helvetica"), 8);
        glRotatef(45, 0, 0, 1);
        cell_.clear();
        cell_.colour(0.7f, 0.7f, 0.7f);
        cell_.square(0, 0, r);
        cell_.colour(0, 1, 0);
        cell_.square(0, 0, 0.2f * r);
        for (const MarkerPoint& p : points) {
            const float x = (2 * p.x - 1) * r, y = (2 * p.y - 1) * r;
            if (p.flags == kPointX && p.id == -1) {
                cell_.colour(1, 0, 0);
                cell_.line(x, -r, x, r);
            } else if (p.flags == kPointY && p.id == -1) {
                cell_.colour(1, 0, 0);
                cell_.line(-r, y, r, y);
            } else if (p.flags == (kPointX | kPointY)) {
                cell_.colour(1, 1, 1);
                cell_.point(x, y);
            }
        }
        cell_.draw();
        glPopMatrix();
    }
    glPointSize(1);
}

// Zoom and pan act on the single camera's view only.
bool DetectorView::key(int ascii, bool pressed) {
    using View = DetectorView;
    static constexpr glview::KeyAction<View> kKeys[] = {
        {glview::kTab,
         [](View& v, bool) {
             v.selectedCamera = v.selectedCamera + 1 >= v.cameraCount() ? 0 : v.selectedCamera + 1;
         }},
        {'R',
         [](View& v, bool) {
             if (v.multiView) return;
             v.zoom = 1;
             v.panX = v.panY = 0;
         }},
        {'Z',
         [](View& v, bool) {
             if (!v.multiView) v.zoom *= 1.5f;
         }},
        {'z',
         [](View& v, bool) {
             if (!v.multiView) v.zoom /= 1.5f;
         }},
        {'f', [](View& v, bool) { v.toggleFastMode(); }},
    };
    return glview::runKey(kKeys, *this, ascii, pressed);
}

void DetectorView::toggleFastMode() {
    if (!detectorSession_) return;
    detectorSession_->fastMode = !detectorSession_->fastMode;
    std::cout << "fast-mode: " << (detectorSession_->fastMode ? "on" : "off") << std::endl;
}

bool DetectorView::mouse(const glview::MouseState& state) {
    glview::GLViewCore::mouse(state);
    if (multiView) return true;
    const float w = static_cast<float>(width()), h = static_cast<float>(height());
    if (state.previousButtons == glview::kLeftButton && w > 0 && h > 0 && zoom > 0) {
        panX -= state.dx / w / zoom;
        panY -= state.dy / h / zoom;
    }
    if (state.buttons == glview::kWheelForward) zoom *= 1.05f;
    if (state.buttons == glview::kWheelBackward) zoom *= 0.95f;
    return true;
}
