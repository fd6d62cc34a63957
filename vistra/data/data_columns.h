// The sixteen statistic columns of the data table: which statistic of
// which detector each shows, and how.
#pragma once

#include <QString>

#include <array>

#include "session/peak_tables.h"

// What a column shows of a statistic.
enum class StatValue { Last = 0, Mean = 1, Deviation = 2 };

struct DataColumn {
    const char* label;          // the column header
    PeakStats PeakCell::*tool;  // the statistic table
    StatValue value;
    int detector;
    const char* format;  // printf format of a shown value
    double scale;        // position values are shown in detector pixels
};

constexpr int kDataColumns = 16;
constexpr int kQuantities = 8;  // quantity k covers columns 2k and 2k + 1

const std::array<DataColumn, kDataColumns>& DataColumns();

// scale x the statistic's last sample, mean or deviation.
double StatisticValue(const PeakStats& s, StatValue value, double scale);
// A value as its cell shows it: empty unless above 0 (a missing
// statistic, a zero deviation and a zero value show nothing).
QString CellText(double value, const char* format);
