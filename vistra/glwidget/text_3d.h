// Text at 3D points of the current GL widget: the point is projected with
// the current GL matrices and the text is painted by the widget after its
// GL drawing.
#pragma once

#include <QFont>
#include <QPointF>
#include <QString>

class TextTarget {
public:
    virtual ~TextTarget() = default;
    // Window position in pixels, origin top left.
    virtual void queueText(const QPointF& position, const QString& text, const QFont& font) = 0;
};

// The widget that DrawText3D draws into; set by the GL view as it paints.
void SetCurrentTextTarget(TextTarget* target);

struct GlutFont {
    const char* family;
    int pointSize;
};
// Family and size for a GLUT bitmap-font index; unknown indices give Helvetica 8.
GlutFont GlutTextFont(int index);

void DrawText3D(const QString& text, float x, float y, float z, const QString& family, int pointSize);
void DrawGlutText(const QString& text, float x, float y, float z, int fontIndex);
