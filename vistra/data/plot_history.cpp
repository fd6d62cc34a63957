#include "data/plot_history.h"

#include <algorithm>

void PlotHistory::add(int row, int id, const PlotSample& sample) {
    now_ = std::max(now_, sample.ms);
    Row& r = rows_[row];
    if (r.id != id) {
        r.id = id;
        r.samples.clear();
    }
    if (!r.samples.empty() && sample.ms - r.samples.back().ms < kSpacingMs)
        r.samples.back().values = sample.values;
    else
        r.samples.push_back(sample);
    while (!r.samples.empty() && r.samples.front().ms < now_ - kSpanMs) r.samples.pop_front();
}

void PlotHistory::keepRows(const std::vector<int>& rows) {
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (std::find(rows.begin(), rows.end(), it->first) == rows.end())
            it = rows_.erase(it);
        else
            ++it;
    }
}

void PlotHistory::clear() {
    rows_.clear();
    now_ = 0;
}

const std::deque<PlotSample>* PlotHistory::samples(int row) const {
    const auto it = rows_.find(row);
    return it == rows_.end() || it->second.samples.empty() ? nullptr : &it->second.samples;
}
