#include "widgets/separator.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolBar>

Separator::Separator(Qt::Orientation orientation, QWidget* parent, QToolBar* owner, const QString& name)
    : QWidget(parent), orientation_(orientation) {
    setObjectName(name);
    if (owner) {
        connect(owner, &QToolBar::orientationChanged, this, &Separator::setOrientation);
        setBackgroundRole(owner->backgroundRole());
    }
    setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
}

QSize Separator::sizeHint() const {
    const int extent = style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, this);
    return orientation_ == Qt::Vertical ? QSize(0, extent) : QSize(extent, 0);
}

void Separator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.rect = rect();
    if (orientation_ == Qt::Horizontal) option.state |= QStyle::State_Horizontal;
    style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &option, &painter, this);
}
