// The last seconds of the statistics of a few table rows, as the plot
// under the data table draws them. Plain data, no Qt.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "data/data_columns.h"

struct PlotSample {
    int64_t ms;                              // when it was taken
    std::array<float, kDataColumns> values;  // as the columns show them; NaN = no value
};

class PlotHistory {
public:
    static constexpr int64_t kSpanMs = 10000;
    // Samples closer than this to the previous one replace its values, so
    // a row holds at most kSpanMs / kSpacingMs samples at any refresh rate.
    static constexpr int64_t kSpacingMs = 20;

    // Adds a sample of row `row`, which holds the statistics of marker `id`;
    // a row that held another marker starts afresh. Samples older than the
    // span go.
    void add(int row, int id, const PlotSample& sample);
    // Forgets every row but these.
    void keepRows(const std::vector<int>& rows);
    void clear();

    // The samples of a row, oldest first; null when it has none.
    const std::deque<PlotSample>* samples(int row) const;
    // Time of the newest sample.
    int64_t now() const { return now_; }

private:
    struct Row {
        int id = -1;
        std::deque<PlotSample> samples;
    };
    std::map<int, Row> rows_;
    int64_t now_ = 0;
};
