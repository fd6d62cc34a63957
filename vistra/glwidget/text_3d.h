// Text at 3D points of the current GL widget: the point is projected with
// the current GL matrices and the text joins the widget's batch of texts,
// drawn after its GL drawing.
#pragma once

#include <QString>

class TextBatch;

// The batch that DrawText3D adds to; set by the GL view as it paints.
void SetCurrentTextBatch(TextBatch* batch);

struct GlutFont {
    const char* family;
    int pointSize;
};
// Family and size for a GLUT bitmap-font index; unknown indices give Helvetica 8.
GlutFont GlutTextFont(int index);

void DrawText3D(const QString& text, float x, float y, float z, const QString& family, int pointSize);
void DrawGlutText(const QString& text, float x, float y, float z, int fontIndex);
