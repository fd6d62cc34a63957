#include "data/peak_plot.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor kBackground(24, 24, 28);
const QColor kGrid(80, 80, 88);
const QColor kSeconds(44, 44, 50);
const QColor kText(170, 170, 178);
constexpr int kFontPoints = 7;

// Distinct on the dark background and from the grey of the texts.
const QColor kRowColours[] = {{255, 85, 85},   {85, 170, 255}, {255, 210, 60}, {90, 220, 110},
                              {220, 110, 255}, {255, 150, 40}, {60, 220, 220}, {255, 120, 190}};

QString LegendText(const PlotRow& r) {
    return r.led >= 0 ? QStringLiteral("LED %1").arg(r.led) : QStringLiteral("id %1").arg(r.id);
}

struct Range {
    float low = std::numeric_limits<float>::max();
    float high = std::numeric_limits<float>::lowest();
    bool empty() const { return low > high; }
};

}  // namespace

PeakPlot::PeakPlot(QWidget* parent) : QWidget(parent) {
    QFont small = font();
    small.setPointSize(kFontPoints);
    setFont(small);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(40);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QColor PeakPlot::rowColour(int row) {
    constexpr int n = static_cast<int>(std::size(kRowColours));
    return kRowColours[((row % n) + n) % n];
}

void PeakPlot::sample(const PeakTables& tables, int camera, const std::vector<PlotRow>& rows, int64_t ms) {
    rows_.clear();
    std::vector<int> kept;
    for (const PlotRow& r : rows) {
        PlotSample s{ms, {}};
        for (int k = 0; k < kDataColumns; ++k) {
            const DataColumn& d = DataColumns()[static_cast<std::size_t>(k)];
            const PeakCell* cell = tables.cell(r.row, camera, d.detector);
            const double v = cell ? StatisticValue(cell->*d.tool, d.value, d.scale) : 0;
            s.values[static_cast<std::size_t>(k)] =
                v > 0 ? static_cast<float>(v) : std::numeric_limits<float>::quiet_NaN();
        }
        history_.add(r.row, r.id, s);
        rows_.push_back(r);
        kept.push_back(r.row);
    }
    history_.keepRows(kept);
    update();
}

void PeakPlot::setColumns(const std::vector<int>& columns) {
    if (columns == columns_) return;
    columns_ = columns;
    update();
}

void PeakPlot::clear() {
    rows_.clear();
    history_.clear();
    update();
}

QStringList PeakPlot::legend() const {
    QStringList texts;
    for (const PlotRow& r : rows_)
        if (history_.samples(r.row)) texts << LegendText(r);
    return texts;
}

void PeakPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const QStringList names = legend();
    if (names.isEmpty() || columns_.empty()) return;

    // Legend along the top, in the rows' colours.
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    int x = 4;
    int named = 0;
    for (const PlotRow& r : rows_) {
        if (!history_.samples(r.row)) continue;
        painter.setPen(rowColour(r.row));
        const QString& text = names[named++];
        painter.drawText(x, metrics.ascent() + 1, text);
        x += metrics.horizontalAdvance(text) + 10;
    }

    const QRect area = rect().adjusted(0, line + 2, -1, -1);
    const int lanes = static_cast<int>(columns_.size());
    const double laneHeight = static_cast<double>(area.height()) / lanes;
    const int64_t now = history_.now();
    const double pxPerMs = static_cast<double>(area.width()) / PlotHistory::kSpanMs;
    // A faint line every second.
    painter.setPen(kSeconds);
    for (int64_t ms = 1000; ms < PlotHistory::kSpanMs; ms += 1000) {
        const double x = area.right() - static_cast<double>(ms) * pxPerMs;
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    for (int i = 0; i < lanes; ++i) {
        const auto k = static_cast<std::size_t>(columns_[static_cast<std::size_t>(i)]);
        const double top = area.top() + i * laneHeight;
        const double bottom = top + laneHeight - 1;
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), top), QPointF(area.right(), top));

        Range range;
        for (const PlotRow& r : rows_)
            if (const auto* samples = history_.samples(r.row))
                for (const PlotSample& s : *samples)
                    if (!std::isnan(s.values[k])) {
                        range.low = std::min(range.low, s.values[k]);
                        range.high = std::max(range.high, s.values[k]);
                    }
        painter.setPen(kText);
        painter.drawText(QPointF(area.left() + 3, top + metrics.ascent()),
                         QString::fromLatin1(DataColumns()[k].label));
        if (range.empty()) continue;
        const char* format = DataColumns()[k].format;
        painter.drawText(QRectF(area.left(), top, area.width() - 3, laneHeight - 1),
                         Qt::AlignRight | Qt::AlignTop, QString::asprintf(format, range.high));
        painter.drawText(QRectF(area.left(), top, area.width() - 3, laneHeight - 1),
                         Qt::AlignRight | Qt::AlignBottom, QString::asprintf(format, range.low));

        // A flat line sits in the middle of its lane.
        const double span = range.high > range.low ? range.high - range.low : 1.0;
        const double mid = range.high > range.low ? 0.0 : 0.5;
        const double inner = std::max(1.0, bottom - top - 4);
        auto y = [&](float v) { return bottom - 2 - ((v - range.low) / span + mid) * inner; };
        for (const PlotRow& r : rows_) {
            const auto* samples = history_.samples(r.row);
            if (!samples) continue;
            painter.setPen(rowColour(r.row));
            QPolygonF piece;
            auto flush = [&] {
                if (piece.size() == 1) painter.drawPoint(piece.front());
                if (piece.size() > 1) painter.drawPolyline(piece);
                piece.clear();
            };
            for (const PlotSample& s : *samples) {
                if (std::isnan(s.values[k])) {
                    flush();
                    continue;
                }
                piece << QPointF(area.right() - static_cast<double>(now - s.ms) * pxPerMs, y(s.values[k]));
            }
            flush();
        }
    }
}
