#include "glwidget/glyph_atlas.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

GlyphAtlas::GlyphAtlas(const QFont& font) : font_(font) {
    const QFontMetrics metrics(font);
    ascent_ = metrics.ascent();
    int width = 0;
    for (int c = kFirst; c <= kLast; ++c) {
        Glyph& g = glyphs_[static_cast<std::size_t>(c - kFirst)];
        g.x = width;
        g.advance = metrics.horizontalAdvance(QChar(c));
        width += g.advance + 1;  // a free column keeps neighbours apart
    }
    image_ = QImage(width, metrics.height(), QImage::Format_RGBA8888);
    image_.fill(Qt::transparent);
    QPainter painter(&image_);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int c = kFirst; c <= kLast; ++c)
        painter.drawText(QPointF(glyphs_[static_cast<std::size_t>(c - kFirst)].x, ascent_),
                         QString(QChar(c)));
}

bool GlyphAtlas::covers(const QString& text) {
    for (const QChar ch : text)
        if (ch.unicode() < kFirst || ch.unicode() > kLast) return false;
    return true;
}

void GlyphAtlas::bind() {
    if (texture_ != 0) {
        glBindTexture(GL_TEXTURE_2D, texture_);
        return;
    }
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image_.width(), image_.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image_.constBits());
}

void GlyphAtlas::releaseTexture() {
    if (texture_ == 0) return;
    glDeleteTextures(1, &texture_);
    texture_ = 0;
}

void GlyphAtlas::emitQuads(const QString& text, QPointF origin) const {
    const float w = static_cast<float>(image_.width()), h = static_cast<float>(image_.height());
    float x = static_cast<float>(std::round(origin.x()));
    const float top = static_cast<float>(std::round(origin.y())) - static_cast<float>(ascent_);
    for (const QChar ch : text) {
        const Glyph& g = glyphs_[static_cast<std::size_t>(ch.unicode() - kFirst)];
        const float s0 = g.x / w, s1 = (g.x + g.advance) / w;
        glTexCoord2f(s0, 0);
        glVertex2f(x, top);
        glTexCoord2f(s1, 0);
        glVertex2f(x + static_cast<float>(g.advance), top);
        glTexCoord2f(s1, 1);
        glVertex2f(x + static_cast<float>(g.advance), top + h);
        glTexCoord2f(s0, 1);
        glVertex2f(x, top + h);
        x += static_cast<float>(g.advance);
    }
}
