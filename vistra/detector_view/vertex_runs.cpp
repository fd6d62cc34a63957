#include "detector_view/vertex_runs.h"

void VertexRuns::clear() {
    positions_.clear();
    colours_.clear();
    runs_.clear();
}

void VertexRuns::vertex(GLenum mode, float x, float y) {
    if (runs_.empty() || runs_.back().mode != mode)
        runs_.push_back({mode, static_cast<GLint>(colours_.size()), 0});
    ++runs_.back().count;
    positions_.push_back(x);
    positions_.push_back(y);
    colours_.push_back(colour_);
}

void VertexRuns::line(float x0, float y0, float x1, float y1) {
    vertex(GL_LINES, x0, y0);
    vertex(GL_LINES, x1, y1);
}

void VertexRuns::point(float x, float y) { vertex(GL_POINTS, x, y); }

void VertexRuns::square(float cx, float cy, float half) {
    const float x0 = cx - half, x1 = cx + half, y0 = cy - half, y1 = cy + half;
    line(x0, y0, x1, y0);
    line(x1, y0, x1, y1);
    line(x1, y1, x0, y1);
    line(x0, y1, x0, y0);
}

void VertexRuns::draw() const {
    if (runs_.empty()) return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, positions_.data());
    glColorPointer(3, GL_FLOAT, 0, colours_.data());
    for (const Run& run : runs_) glDrawArrays(run.mode, run.first, run.count);
    glPopClientAttrib();
}
