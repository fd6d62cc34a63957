// Measurement in the scene: ruler points with their centimetre and
// millimetre grids, and measurement marks with their coordinates.
#include <GL/gl.h>

#include "gl_view_core.h"
#include "scene_shapes.h"
#include "scene_texts.h"

namespace glview {

void GLViewCore::drawRulers() {
    const float s = sessionScale();
    for (const Vec3f& point : measurePoints) {
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_BLEND);
        glPushMatrix();
        glTranslatef(point[0], point[1], point[2]);
        glColor3f(0, 0.7f, 0);
        for (const float side : {100 * s, 10 * s, 1 * s}) drawGridSquare(side, 10);
        glColor3f(1, 1, 1);
        if (200 * s > camera.r) drawText(-10 * s, 0, 0, "1cm");
        if (10 * s > camera.r) drawText(-1 * s, 0, 0, "1mm");
        glPopMatrix();
        glPopAttrib();
    }
}

void GLViewCore::drawMarks() {
    const float s = sessionScale();
    glColor3f(1, 1, 1);
    for (std::size_t i = 0; i < measurePointsSecond.size(); ++i) {
        const Vec3f& point = measurePointsSecond[i];
        glPushMatrix();
        glTranslatef(point[0], point[1], point[2]);
        glPushMatrix();
        glScalef(s, s, s);
        glBegin(GL_LINES);
        for (int axis = 0; axis < 3; ++axis) {
            float from[3] = {0, 0, 0}, to[3] = {0, 0, 0};
            from[axis] = -1;
            to[axis] = 1;
            glVertex3fv(from);
            glVertex3fv(to);
        }
        glEnd();
        glPopMatrix();
        const Vec3f* previous = i > 0 ? &measurePointsSecond[i - 1] : nullptr;
        drawText(0, 30 * s, 0, markText(point, previous, s));
        glPopMatrix();
    }
}

}  // namespace glview
