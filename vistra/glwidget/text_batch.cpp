#include "glwidget/text_batch.h"

#include <GL/gl.h>

#include <QPainter>

void TextBatch::add(const QPointF& position, const QString& text, const QFont& font) {
    texts_.push_back({position, text, font, colour_});
}

void TextBatch::add(const QPointF& position, const QString& text, const QString& family, int pointSize) {
    if (lastFont_.family() != family || lastFont_.pointSize() != pointSize)
        lastFont_ = QFont(family, pointSize);
    add(position, text, lastFont_);
}

QStringList TextBatch::texts() const {
    QStringList list;
    for (const Text& t : texts_) list << t.text;
    return list;
}

void TextBatch::draw(QPaintDevice* device, int width, int height) {
    if (texts_.empty()) return;
    std::vector<const Text*> others;
    drawQuads(width, height, others);
    if (others.empty()) return;
    QPainter painter(device);
    for (const Text* t : others) {
        painter.setPen(t->colour);
        painter.setFont(t->font);
        painter.drawText(t->position, t->text);
    }
}

void TextBatch::drawQuads(int width, int height, std::vector<const Text*>& others) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const GlyphAtlas* bound = nullptr;
    for (const Text& t : texts_) {
        if (!GlyphAtlas::covers(t.text)) {
            others.push_back(&t);
            continue;
        }
        GlyphAtlas& atlas = atlasFor(t.font);
        if (&atlas != bound) {
            if (bound) glEnd();
            atlas.bind();
            bound = &atlas;
            glBegin(GL_QUADS);
        }
        glColor4f(static_cast<GLfloat>(t.colour.redF()), static_cast<GLfloat>(t.colour.greenF()),
                  static_cast<GLfloat>(t.colour.blueF()), static_cast<GLfloat>(t.colour.alphaF()));
        atlas.emitQuads(t.text, t.position);
    }
    if (bound) glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

GlyphAtlas& TextBatch::atlasFor(const QFont& font) {
    for (const auto& atlas : atlases_)
        if (atlas->font() == font) return *atlas;
    return *atlases_.emplace_back(std::make_unique<GlyphAtlas>(font));
}

void TextBatch::releaseGL() {
    for (const auto& atlas : atlases_) atlas->releaseTexture();
}
