// Tool-bar separator drawn with the style's tool-bar separator primitive.
#pragma once

#include <QWidget>

class QToolBar;

class Separator : public QWidget {
    Q_OBJECT
public:
    Separator(Qt::Orientation orientation, QWidget* parent, QToolBar* owner, const QString& name);

    QSize sizeHint() const override;

public slots:
    // The separator keeps the orientation it was built with.
    void setOrientation(Qt::Orientation) {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation orientation_;
};
