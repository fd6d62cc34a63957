// The strip under the data table: the shown quantities of the selected
// rows over the last ten seconds, one lane per quantity column, one colour
// per row, each row named by its LED id.
#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "data/plot_history.h"

class PeakTables;
class QPainter;

// A row to plot: its table row, the marker whose statistics it holds and
// that marker's LED (-1 when no tracker names it).
struct PlotRow {
    int row;
    int id;
    int led;
};

class PeakPlot : public QWidget {
    Q_OBJECT
public:
    explicit PeakPlot(QWidget* parent);

    // Takes the statistics of `rows` in `camera` at time `ms` and repaints.
    // Rows not given are forgotten; another camera's statistics start afresh.
    void sample(const PeakTables& tables, int camera, const std::vector<PlotRow>& rows, int64_t ms);
    // The logical columns to draw, in the order the table shows them.
    void setColumns(const std::vector<int>& columns);
    // Forgets everything (the statistics of another camera follow).
    void clear();

    static QColor rowColour(int row);
    // "LED 3", ... for the rows drawn, in their order.
    QStringList legend() const;
    const PlotHistory& history() const { return history_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Range {
        float low = std::numeric_limits<float>::max();
        float high = std::numeric_limits<float>::lowest();
        bool empty() const { return low > high; }
    };
    std::array<Range, kDataColumns> columnRanges() const;
    void paintLane(QPainter& painter, const QRect& lane, int column, const Range& range) const;

    std::vector<PlotRow> rows_;
    std::vector<int> columns_;
    int camera_ = -1;
    PlotHistory history_;
};
