#include "scene_shapes.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>

namespace glview {

void drawCircle(float radius, int segments) {
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < segments; ++i) {
        const double angle = i * 2 * M_PI / segments;
        glVertex3f(radius * static_cast<float>(std::cos(angle)), radius * static_cast<float>(std::sin(angle)),
                   0);
    }
    glEnd();
}

void drawGridSquare(float side, int divisions) {
    const int n = divisions < 2 ? 1 : divisions;
    const float half = side / 2;
    glNormal3f(0, 1, 0);
    glBegin(GL_LINE_LOOP);
    glVertex3f(-half, 0, -half);
    glVertex3f(half, 0, -half);
    glVertex3f(half, 0, half);
    glVertex3f(-half, 0, half);
    glEnd();
    glBegin(GL_LINES);
    for (int i = 0; i < n; ++i) {
        const float offset = half - static_cast<float>(i) * side / static_cast<float>(n);
        glVertex3f(-half, 0, offset);
        glVertex3f(half, 0, offset);
        glVertex3f(offset, 0, -half);
        glVertex3f(offset, 0, half);
    }
    glEnd();
}

void drawStrokeText(float x, float y, float z, void* font, const std::string& text, float scale) {
    glPushMatrix();
    glTranslatef(x, y, z);
    glScalef(scale, scale, scale);
    for (const char c : text) glutStrokeCharacter(font, static_cast<unsigned char>(c));
    glPopMatrix();
}

void drawAxisTripod(float length) {
    const float start = 0.01f * length;
    glLineWidth(2);
    glBegin(GL_LINES);
    glColor3f(1, 0, 0);
    glVertex3f(start, 0, 0);
    glVertex3f(length, 0, 0);
    glColor3f(0, 1, 0);
    glVertex3f(0, start, 0);
    glVertex3f(0, length, 0);
    glColor3f(0, 0, 1);
    glVertex3f(0, 0, start);
    glVertex3f(0, 0, length);
    glEnd();
    glLineWidth(1);
}

}  // namespace glview
