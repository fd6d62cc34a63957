#include "glwidget/text_3d.h"

#include <GL/gl.h>

#include <array>

#include "gl_matrix.h"
#include "glwidget/text_batch.h"

namespace {

TextBatch* currentBatch = nullptr;

constexpr std::array<GlutFont, 7> kGlutFonts = {{
    {"System", 9},
    {"System", 8},
    {"Times", 10},
    {"Times", 24},
    {"Helvetica", 8},
    {"Helvetica", 10},
    {"Helvetica", 16},
}};

}  // namespace

void SetCurrentTextBatch(TextBatch* batch) { currentBatch = batch; }

GlutFont GlutTextFont(int index) {
    if (index < 0 || index >= static_cast<int>(kGlutFonts.size())) return {"Helvetica", 8};
    return kGlutFonts[static_cast<std::size_t>(index)];
}

void DrawText3D(const QString& text, float x, float y, float z, const QString& family, int pointSize) {
    if (!currentBatch) return;
    glview::Matrix4 modelview, projection;
    std::array<int, 4> viewport;
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    const glview::Matrix4 m = glview::multiply(projection, modelview);
    double clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = m[r] * x + m[r + 4] * y + m[r + 8] * z + m[r + 12];
    // A point behind the eye (w <= 0) would land mirrored on the window.
    if (!(clip[3] > 0)) return;
    const double winX = viewport[0] + (clip[0] / clip[3] + 1) / 2 * viewport[2];
    const double winY = viewport[1] + (clip[1] / clip[3] + 1) / 2 * viewport[3];
    currentBatch->add(QPointF(winX, viewport[3] - winY), text, family, pointSize);
}

void DrawGlutText(const QString& text, float x, float y, float z, int fontIndex) {
    const GlutFont font = GlutTextFont(fontIndex);
    DrawText3D(text, x, y, z, QString::fromLatin1(font.family), font.pointSize);
}
