#include "trackers/grid_view.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "trackers/cell_states.h"

GridView::GridView(QWidget* parent, int cells)
    : QWidget(parent), states_(static_cast<std::size_t>(cells), 0) {
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    layoutCells();
}

void GridView::layoutCells() {
    const int parentWidth = parentWidget() ? parentWidget()->width() : width();
    layout_ =
        ComputeGridLayout(parentWidth, fontMetrics().horizontalAdvance(QStringLiteral("0000")), cellCount());
    setFixedSize(layout_.width, layout_.height);
}

void GridView::SetStates(const std::vector<int>& states) {
    const bool recount = states.size() != states_.size();
    states_ = states;
    if (recount) layoutCells();
    update();
}

void GridView::ClearStates() {
    std::fill(states_.begin(), states_.end(), 0);
    update();
}

QRect GridView::cellRect(int index) const {
    const int row = index / layout_.columns;
    const int column = index % layout_.columns;
    return {GridLayout::kOffset + column * layout_.cellWidth,
            GridLayout::kOffset + row * GridLayout::kCellHeight, layout_.cellWidth, GridLayout::kCellHeight};
}

void GridView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < cellCount(); ++i) {
        const QRect cell = cellRect(i);
        const QRect inner = cell.adjusted(1, 1, -1, -1);
        const int state = states_[static_cast<std::size_t>(i)];
        const int colour = state >= 0 && state < static_cast<int>(kCellColours.size()) ? state : kCellIdle;
        painter.fillRect(inner, QColor(kCellColours[static_cast<std::size_t>(colour)]));
        if (CellFramed(state)) {
            painter.setPen(Qt::black);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(inner.adjusted(0, 0, -1, -1));
        }
        painter.setPen(Qt::black);
        painter.drawText(cell, Qt::AlignCenter, QString::number(i));
    }
}

int GridView::cellAt(QPoint at) const { return layout_.cellAt(at, size(), cellCount()); }

void GridView::mousePressEvent(QMouseEvent* event) {
    pressed_ = true;
    emit sg_MarkerSelected(cellAt(event->position().toPoint()));
}

void GridView::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_) emit sg_MarkerDragSelected(cellAt(event->position().toPoint()));
}

void GridView::mouseReleaseEvent(QMouseEvent*) { pressed_ = false; }
