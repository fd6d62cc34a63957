// Printable ASCII of one font rendered once into an image, so that many
// short texts (marker labels) go to GL as textured quads in one batch.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <array>

class GlyphAtlas {
public:
    explicit GlyphAtlas(const QFont& font);

    // True when every character of the text is in the atlas.
    static bool covers(const QString& text);
    // Uploads the atlas to the bound 2D texture.
    void upload() const;
    // Quads of the text with its baseline starting at `origin` (window
    // pixels, y down), inside glBegin(GL_QUADS).
    void emitQuads(const QString& text, QPointF origin) const;

    const QFont& font() const { return font_; }

private:
    static constexpr int kFirst = 32, kLast = 126;
    struct Glyph {
        int x = 0;  // left edge in the atlas
        int advance = 0;
    };

    QFont font_;
    QImage image_;
    int ascent_ = 0;
    std::array<Glyph, kLast - kFirst + 1> glyphs_{};
};
