// Printable ASCII of one font rendered once into an image, so that many
// short texts (marker labels) go to GL as textured quads in one batch. The
// image goes to a texture object once per GL context.
#pragma once

#include <GL/gl.h>

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <array>

class GlyphAtlas {
public:
    explicit GlyphAtlas(const QFont& font);
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;

    // True when every character of the text is in the atlas.
    static bool covers(const QString& text);
    // Binds the atlas's 2D texture in the current context, made on first use.
    void bind();
    // Deletes the texture; the context it was made in is current.
    void releaseTexture();
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
    GLuint texture_ = 0;
};
