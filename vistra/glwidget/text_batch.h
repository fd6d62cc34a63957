// The texts of one frame of a GL view, drawn over its GL drawing: texts of
// printable ASCII go to GL as quads from a glyph atlas of their font, in
// one batch per atlas; anything else is painted by QPainter.
#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "glwidget/glyph_atlas.h"

class QPaintDevice;

class TextBatch {
public:
    void clear() { texts_.clear(); }
    // The colour of the texts added from now on (white at first).
    void setColour(const QColor& colour) { colour_ = colour; }
    // A text at a window position (pixels, origin top left).
    void add(const QPointF& position, const QString& text, const QFont& font);
    // The same in a font of that family and size (most texts of a frame
    // share theirs: it is made once).
    void add(const QPointF& position, const QString& text, const QString& family, int pointSize);
    // The texts added since clear(), in order.
    QStringList texts() const;
    // Draws the texts into the current GL context of `device`, a window of
    // width × height pixels, over what GL drew.
    void draw(QPaintDevice* device, int width, int height);
    // Deletes the atlases' textures; their context is current.
    void releaseGL();

private:
    struct Text {
        QPointF position;
        QString text;
        QFont font;
        QColor colour;
    };

    GlyphAtlas& atlasFor(const QFont& font);
    // The atlas texts as GL quads; the others are left in `others`.
    void drawQuads(int width, int height, std::vector<const Text*>& others);

    std::vector<Text> texts_;
    QColor colour_ = Qt::white;
    std::vector<std::unique_ptr<GlyphAtlas>> atlases_;
    QFont lastFont_;  // of the family and size below
    QString lastFamily_;
    int lastSize_ = -1;
};
