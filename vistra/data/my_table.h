// The data table: one row per marker of the session's marker list, sixteen
// statistic columns of the selected camera, columns that the user may move.
#pragma once

#include <QTableWidget>

#include <array>
#include <set>
#include <string>

#include "data/data_columns.h"

class DetectorSession;

class MyTable : public QTableWidget {
    Q_OBJECT
public:
    MyTable(int rows, int columns, QWidget* parent, const DetectorSession* session);

    // Grows the table to one row per marker, then refreshes every column
    // that is shown.
    void Fill(int camera);
    // One column's refresh from one statistic table: for every row of it,
    // `scale` x its last sample, mean or deviation as `format` prints it.
    // Hidden rows keep their text.
    void DrawTool(PeakStats PeakCell::*tool, const char* format, StatValue value, double scale, int camera,
                  int column, int detector);
    // Exchanges two displayed columns with their contents, header and
    // hidden state; the column map follows.
    void swapColumns(int a, int b);
    // The next index warnings are printed again (a new camera selection).
    void resetWarnings() { warned_.clear(); }

    // Logical column -> displayed column.
    int displayed(int logical) const { return map_[static_cast<std::size_t>(logical)]; }

private:
    // A user's drag of a header section becomes a series of swaps.
    void sectionMoved(int logical, int from, int to);
    void setRowLabels(int from);
    void setCellText(int row, int column, const QString& text);
    void warn(const std::string& line);

    const DetectorSession* session_;
    std::array<int, kDataColumns> map_{};
    std::set<std::string> warned_;
};
