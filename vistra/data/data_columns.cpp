#include "data/data_columns.h"

namespace {

constexpr double kDetectorPixels = 3680;

}  // namespace

const std::array<DataColumn, kDataColumns>& DataColumns() {
    static const std::array<DataColumn, kDataColumns> columns{{
        {"pos 0", &PeakCell::posStats, StatValue::Mean, 0, "% 2.2f", kDetectorPixels},
        {"pos 2", &PeakCell::posStats, StatValue::Mean, 1, "% 2.2f", kDetectorPixels},
        {"pos var 0", &PeakCell::posStats, StatValue::Deviation, 0, "% 2.5f", kDetectorPixels},
        {"pos var 2", &PeakCell::posStats, StatValue::Deviation, 1, "% 2.5f", kDetectorPixels},
        {"amp 0", &PeakCell::ampStats, StatValue::Mean, 0, "%.0f", 1},
        {"amp 2", &PeakCell::ampStats, StatValue::Mean, 1, "%.0f", 1},
        {"amp var 0", &PeakCell::ampStats, StatValue::Deviation, 0, "%.0f", 1},
        {"amp var 2", &PeakCell::ampStats, StatValue::Deviation, 1, "%.0f", 1},
        {"width 0", &PeakCell::widthStats, StatValue::Mean, 0, "%.0f", 1},
        {"width 2", &PeakCell::widthStats, StatValue::Mean, 1, "%.0f", 1},
        {"wid var 0", &PeakCell::widthStats, StatValue::Deviation, 0, "%.0f", 1},
        {"wid var 2", &PeakCell::widthStats, StatValue::Deviation, 1, "%.0f", 1},
        {"power 0", &PeakCell::powerStats, StatValue::Mean, 0, "%.0f", 1},
        {"power 2", &PeakCell::powerStats, StatValue::Mean, 1, "%.0f", 1},
        {"pow var 0", &PeakCell::powerStats, StatValue::Deviation, 0, "%.0f", 1},
        {"pow var 2", &PeakCell::powerStats, StatValue::Deviation, 1, "%.0f", 1},
    }};
    return columns;
}

double StatisticValue(const PeakStats& s, StatValue value, double scale) {
    switch (value) {
        case StatValue::Last:
            return scale * s.last;
        case StatValue::Mean:
            return scale * s.mean;
        case StatValue::Deviation:
            break;
    }
    return scale * s.stddev;
}

QString CellText(double value, const char* format) {
    return value > 0 ? QString::asprintf(format, value) : QString();
}
