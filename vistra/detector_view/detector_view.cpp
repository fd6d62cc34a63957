#include "detector_view/detector_view.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "session/detector_session.h"
#include "detector_view/marker_points.h"
#include "detector_view/multi_view_layout.h"
#include "detector_view/peak_strip.h"
#include "glwidget/text_3d.h"
#include "key_table.h"
#include "tracker.h"

namespace {

constexpr float kSquareHalf = 0.005f;

// The four sides of a square as segments, inside glBegin(GL_LINES).
void squareOutline(float cx, float cy, float half) {
    const float x0 = cx - half, x1 = cx + half, y0 = cy - half, y1 = cy + half;
    const float corners[5][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    for (int i = 0; i < 4; ++i) {
        glVertex2f(corners[i][0], corners[i][1]);
        glVertex2f(corners[i + 1][0], corners[i + 1][1]);
    }
}

void line(float x0, float y0, float x1, float y1) {
    glBegin(GL_LINES);
    glVertex2f(x0, y0);
    glVertex2f(x1, y1);
    glEnd();
}

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
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    for (const MarkerPoint& p : points)
        if (p.flags == (kPointX | kPointY)) squareOutline(p.x, p.y, kSquareHalf);
    glEnd();
    glBegin(GL_POINTS);
    for (const MarkerPoint& p : points)
        if (p.flags == (kPointX | kPointY)) glVertex2f(p.x, p.y);
    glEnd();
    const int trackers = static_cast<int>(detectorSession_->trackers.size());
    for (const MarkerPoint& p : points) {
        if (p.flags != (kPointX | kPointY)) continue;
        const QString label = QString::fromStdString(vektk::MarkerLabel(p.id, trackers));
        DrawText3D(label, p.x + label.size() * 2.5f / w, p.y + 3 / h, 0, QStringLiteral("Helvetica"), 8);
    }
    glPopMatrix();
}

// Dense lines go to GL as one textured strip per detector: the software
// renderer pays per window tile a primitive crosses, so hundreds of
// window-long lines cost more than one window-sized rectangle. Sparse lines
// stay lines. Break-even measured at 800 x 600: about one line per six
// pixels across the window.
constexpr float kStripPixelsPerLine = 6;

void DetectorView::drawPeakLines(const std::vector<ImageRecord>& peaks, float w, float h) {
    for (const int detector : {0, 1}) {
        const auto lines = std::count_if(peaks.begin(), peaks.end(), [&](const ImageRecord& p) {
            return p.camera == selectedCamera && p.detector == detector;
        });
        if (lines == 0) continue;
        const float across = detector == 0 ? w : h;
        if (static_cast<float>(lines) > across / kStripPixelsPerLine)
            drawStrip(peaks, detector, w, h);
        else
            drawLineBatches(peaks, detector, w, h);
    }
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

// A window-sized rectangle textured with the detector's strip; texels
// without a line are discarded by the alpha test.
void DetectorView::drawStrip(const std::vector<ImageRecord>& peaks, int detector, float w, float h) {
    const bool vertical = detector == 0;
    const float extent = vertical ? w : h;
    const std::vector<uint32_t> strip = BuildPeakStrip(
        peaks, selectedCamera, detector, static_cast<int>(extent), extent, zoom, vertical ? panX : panY);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(-w / 2, -h / 2, 0);
    glEnable(GL_TEXTURE_1D);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);
    glBindTexture(GL_TEXTURE_1D, 0);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA, static_cast<GLsizei>(strip.size()), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 strip.data());
    // Texture coordinate runs along x for columns, along y for rows.
    glBegin(GL_QUADS);
    glTexCoord1f(0);
    glVertex2f(0, 0);
    glTexCoord1f(vertical ? 1.0f : 0.0f);
    glVertex2f(w, 0);
    glTexCoord1f(1);
    glVertex2f(w, h);
    glTexCoord1f(vertical ? 0.0f : 1.0f);
    glVertex2f(0, h);
    glEnd();
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_1D);
    glPopMatrix();
}

void DetectorView::drawAllCameras() {
    if (!detectorSession_) return;
    const int n = cameraCount();
    const MultiViewLayout layout = LayoutCameras(width(), height(), n);
    const float r = layout.radius;
    for (int k = 0; k < n; ++k) {
        const std::vector<MarkerPoint> points = BuildMarkerPoints(detectorSession_->images, k);
        glPushMatrix();
        glTranslatef(layout.centreX(k), layout.centreY(k), 0);
        glScalef(0.70710677f, 0.70710677f, 0.70710677f);
        glColor3f(1, 1, 1);
        DrawText3D(QString::asprintf("%d", k + 1), -r, r, 0, QStringLiteral("Helvetica"), 8);
        glRotatef(45, 0, 0, 1);
        glBegin(GL_LINES);
        glColor3f(0.7f, 0.7f, 0.7f);
        squareOutline(0, 0, r);
        glColor3f(0, 1, 0);
        squareOutline(0, 0, 0.2f * r);
        glEnd();
        glPointSize(3);
        for (const MarkerPoint& p : points) {
            const float x = (2 * p.x - 1) * r, y = (2 * p.y - 1) * r;
            if (p.flags == kPointX && p.id == -1) {
                glColor3f(1, 0, 0);
                line(x, -r, x, r);
            } else if (p.flags == kPointY && p.id == -1) {
                glColor3f(1, 0, 0);
                line(-r, y, r, y);
            } else if (p.flags == (kPointX | kPointY)) {
                glColor3f(1, 1, 1);
                glBegin(GL_POINTS);
                glVertex2f(x, y);
                glEnd();
            }
        }
        glPointSize(1);
        glPopMatrix();
    }
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
