#include "data/peak_plot.h"

#include <QPainter>

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

// Adds `p` to a line of pixel positions. Points that only extend a
// straight horizontal or vertical run move its end instead: the line looks
// the same with far fewer segments (a mean drifts by less than a pixel
// between most samples).
void AppendPoint(std::vector<QPoint>& line, QPoint p) {
    const std::size_t n = line.size();
    if (n > 0 && line[n - 1] == p) return;
    if (n > 1) {
        const QPoint a = line[n - 2], b = line[n - 1];
        const bool horizontal = a.y() == b.y() && b.y() == p.y() && (a.x() <= b.x()) == (b.x() <= p.x());
        const bool vertical = a.x() == b.x() && b.x() == p.x() && (a.y() <= b.y()) == (b.y() <= p.y());
        if (horizontal || vertical) {
            line[n - 1] = p;
            return;
        }
    }
    line.push_back(p);
}

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
    if (camera != camera_) history_.clear();
    camera_ = camera;
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
    int x = 4;
    int named = 0;
    for (const PlotRow& r : rows_) {
        if (!history_.samples(r.row)) continue;
        painter.setPen(rowColour(r.row));
        const QString& text = names[named++];
        painter.drawText(x, metrics.ascent() + 1, text);
        x += metrics.horizontalAdvance(text) + 10;
    }

    const QRect area = rect().adjusted(0, metrics.height() + 2, -1, -1);
    const double pxPerMs = static_cast<double>(area.width()) / PlotHistory::kSpanMs;
    painter.setPen(kSeconds);
    for (int64_t ms = 1000; ms < PlotHistory::kSpanMs; ms += 1000) {
        const int secondX = area.right() - static_cast<int>(static_cast<double>(ms) * pxPerMs);
        painter.drawLine(secondX, area.top(), secondX, area.bottom());
    }
    const std::array<Range, kDataColumns> ranges = columnRanges();
    const int lanes = static_cast<int>(columns_.size());
    for (int i = 0; i < lanes; ++i) {
        const int top = area.top() + area.height() * i / lanes;
        const int bottom = area.top() + area.height() * (i + 1) / lanes - 1;
        const int k = columns_[static_cast<std::size_t>(i)];
        paintLane(painter, QRect(area.left(), top, area.width(), bottom - top + 1), k,
                  ranges[static_cast<std::size_t>(k)]);
    }
}

// One pass over every sample for all columns at once.
std::array<PeakPlot::Range, kDataColumns> PeakPlot::columnRanges() const {
    std::array<Range, kDataColumns> ranges;
    for (const PlotRow& r : rows_)
        if (const auto* samples = history_.samples(r.row))
            for (const PlotSample& s : *samples)
                for (std::size_t k = 0; k < kDataColumns; ++k)
                    if (!std::isnan(s.values[k])) {
                        ranges[k].low = std::min(ranges[k].low, s.values[k]);
                        ranges[k].high = std::max(ranges[k].high, s.values[k]);
                    }
    return ranges;
}

void PeakPlot::paintLane(QPainter& painter, const QRect& lane, int column, const Range& range) const {
    const DataColumn& d = DataColumns()[static_cast<std::size_t>(column)];
    const QFontMetrics metrics(font());
    painter.setPen(kGrid);
    painter.drawLine(lane.topLeft(), lane.topRight());
    painter.setPen(kText);
    painter.drawText(lane.left() + 3, lane.top() + metrics.ascent(), QString::fromLatin1(d.label));
    if (range.empty()) return;
    const QRect scale = lane.adjusted(0, 1, -3, 0);
    painter.drawText(scale, Qt::AlignRight | Qt::AlignTop, QString::asprintf(d.format, range.high));
    painter.drawText(scale, Qt::AlignRight | Qt::AlignBottom, QString::asprintf(d.format, range.low));

    // Pixel positions; a flat line sits in the middle of its lane.
    const double pxPerMs = static_cast<double>(lane.width()) / PlotHistory::kSpanMs;
    const double span = range.high > range.low ? range.high - range.low : 1.0;
    const double mid = range.high > range.low ? 0.0 : 0.5;
    const double inner = std::max(1, lane.height() - 5);
    const double base = lane.bottom() - 2;
    const int64_t now = history_.now();
    const auto k = static_cast<std::size_t>(column);
    std::vector<QPoint> line;
    auto flush = [&] {
        if (line.size() == 1) painter.drawPoint(line.front());
        if (line.size() > 1) painter.drawPolyline(line.data(), static_cast<int>(line.size()));
        line.clear();
    };
    for (const PlotRow& r : rows_) {
        const auto* samples = history_.samples(r.row);
        if (!samples) continue;
        painter.setPen(rowColour(r.row));
        for (const PlotSample& s : *samples) {
            if (std::isnan(s.values[k])) {
                flush();
                continue;
            }
            // Positive pixel positions: adding one half rounds.
            const double y = base - ((s.values[k] - range.low) / span + mid) * inner + 0.5;
            AppendPoint(line,
                        QPoint(lane.right() - static_cast<int>(static_cast<double>(now - s.ms) * pxPerMs),
                               static_cast<int>(y)));
        }
        flush();
    }
}
