#include "data/my_table.h"

#include <QHeaderView>

#include <iostream>
#include <numeric>

#include "session/detector_session.h"

namespace {

constexpr int kRowHeight = 12;
constexpr int kColumnWidth = 60;
constexpr int kFontPoints = 7;

}  // namespace

MyTable::MyTable(int rows, int columns, QWidget* parent, const DetectorSession* session)
    : QTableWidget(rows, columns, parent), session_(session) {
    QFont small = font();
    small.setPointSize(kFontPoints);
    setFont(small);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setRowLabels(0);
    horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    for (int c = 0; c < columns; ++c) {
        if (c < kDataColumns)
            setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromLatin1(DataColumns()[c].label)));
        setColumnWidth(c, kColumnWidth);
        setColumnHidden(c, true);
    }
    std::iota(map_.begin(), map_.end(), 0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setSectionsMovable(true);
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, &MyTable::sectionMoved);
}

void MyTable::setRowLabels(int from) {
    for (int r = from; r < rowCount(); ++r)
        setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(r)));
}

void MyTable::Fill(int camera) {
    const int markers = static_cast<int>(session_->markers.size());
    if (rowCount() < markers) {
        const int old = rowCount();
        setRowCount(markers);
        setRowLabels(old);
    }
    for (int k = 0; k < kDataColumns; ++k) {
        const int column = displayed(k);
        if (column >= columnCount() || isColumnHidden(column)) continue;
        const DataColumn& d = DataColumns()[static_cast<std::size_t>(k)];
        DrawTool(d.tool, d.format, d.value, d.scale, camera, column, d.detector);
    }
}

void MyTable::DrawTool(PeakStats PeakCell::*tool, const char* format, StatValue value, double scale,
                       int camera, int column, int detector) {
    const PeakTables& tables = session_->tables;
    const int rows = rowCount();
    for (int p = 0; p < tables.rows(); ++p) {
        const int cameras = tables.cameras(p);
        if (camera < 0 || camera >= cameras) {
            warn("warning: MyTable::DrawTool: tool[" + std::to_string(p) + "].size(" +
                 std::to_string(cameras) + ") <= " + std::to_string(camera));
            continue;
        }
        const PeakCell* cell = tables.cell(p, camera, detector);
        if (!cell) {
            warn("warning: MyTable::DrawTool: tool[" + std::to_string(p) + "][" + std::to_string(camera) +
                 "].size(" + std::to_string(PeakTables::kDetectors) + ") <= " + std::to_string(detector));
            continue;
        }
        if (p >= rows || isRowHidden(p)) continue;
        setCellText(p, column, CellText(StatisticValue(cell->*tool, value, scale), format));
    }
    // Rows without statistics (the marker list got shorter, or the tables
    // were cleared on a new connection) show nothing rather than old values.
    for (int p = tables.rows(); p < rows; ++p)
        if (!isRowHidden(p)) setCellText(p, column, QString());
}

void MyTable::setCellText(int row, int column, const QString& text) {
    if (QTableWidgetItem* it = item(row, column)) {
        it->setText(text);
        return;
    }
    if (text.isEmpty()) return;
    auto* it = new QTableWidgetItem(text);
    it->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    it->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setItem(row, column, it);
}

void MyTable::warn(const std::string& line) {
    if (warned_.insert(line).second) std::cout << line << "\n";
}

void MyTable::swapColumns(int a, int b) {
    if (a == b || a < 0 || b < 0 || a >= columnCount() || b >= columnCount()) return;
    QTableWidgetItem* headerA = takeHorizontalHeaderItem(a);
    QTableWidgetItem* headerB = takeHorizontalHeaderItem(b);
    setHorizontalHeaderItem(a, headerB);
    setHorizontalHeaderItem(b, headerA);
    for (int r = 0; r < rowCount(); ++r) {
        QTableWidgetItem* itemA = takeItem(r, a);
        QTableWidgetItem* itemB = takeItem(r, b);
        if (itemB) setItem(r, a, itemB);
        if (itemA) setItem(r, b, itemA);
    }
    const bool hiddenA = isColumnHidden(a);
    setColumnHidden(a, isColumnHidden(b));
    setColumnHidden(b, hiddenA);
    for (int& target : map_) {
        if (target == a)
            target = b;
        else if (target == b)
            target = a;
    }
    for (int c = 0; c < columnCount(); ++c) setColumnWidth(c, kColumnWidth);
}

void MyTable::sectionMoved(int, int from, int to) {
    // The header goes back to its own order, so that a displayed column is
    // always the table's column of that number; the contents move instead.
    {
        const QSignalBlocker block(horizontalHeader());
        horizontalHeader()->moveSection(to, from);
    }
    const int step = to > from ? 1 : -1;
    for (int c = from; c != to; c += step) swapColumns(c, c + step);
}
