#include "session/peak_tables.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kDeviationPeriod = 32;

}  // namespace

void PeakCell::add(const ImageRecord& peak) {
    peakFlags = peak.flags;
    posStats.add(peak.pos);
    ampStats.add(peak.amp);
    widthStats.add(peak.width);
    // A peak of width 0 has no power: it counts as a missing sample.
    powerStats.add(peak.width > 0 ? peak.amp / peak.width : kNoPeak);
}

void PeakCell::addMissing() {
    for (PeakStats* s : {&posStats, &ampStats, &widthStats, &powerStats}) s->add(kNoPeak);
}

void PeakCell::updateDeviation() {
    for (PeakStats* s : {&posStats, &ampStats, &widthStats, &powerStats}) s->updateDeviation();
}

void PeakTables::clear() {
    cells_.clear();
    rowIds_.clear();
    rowOfId_.clear();
    tableCameras_ = 0;
    sized_ = false;
}

bool PeakTables::rowsFollow(const std::vector<MarkerRecord>& markers) const {
    return std::equal(markers.begin(), markers.end(), rowIds_.begin(), rowIds_.end(),
                      [](const MarkerRecord& m, int id) { return m.id == id; });
}

void PeakTables::resize(const std::vector<MarkerRecord>& markers, int cameraCount) {
    log_ << "resize " << markers.size() << " " << cameraCount << " " << 2 << "\n";
    const std::size_t oldRow = static_cast<std::size_t>(tableCameras_) * kDetectors;
    const std::size_t newRow = static_cast<std::size_t>(cameraCount) * kDetectors;
    std::vector<PeakCell> cells(markers.size() * newRow);
    std::unordered_map<int, int> rowOfId;
    for (std::size_t p = 0; p < markers.size(); ++p) {
        const int id = markers[p].id;
        if (const auto old = rowOfId_.find(id); old != rowOfId_.end()) {
            const auto from = cells_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(old->second) * oldRow);
            std::move(from, from + static_cast<std::ptrdiff_t>(std::min(oldRow, newRow)),
                      cells.begin() + static_cast<std::ptrdiff_t>(p * newRow));
        }
        rowOfId.emplace(id, static_cast<int>(p));
    }
    tableCameras_ = cameraCount;
    sized_ = true;
    cells_ = std::move(cells);
    rowOfId_ = std::move(rowOfId);
    rowIds_.clear();
    for (const MarkerRecord& m : markers) rowIds_.push_back(m.id);
}

PeakCell* PeakTables::find(int row, int camera, int detector) {
    if (row < 0 || row >= rows() || camera < 0 || camera >= tableCameras_ || detector < 0 ||
        detector >= kDetectors)
        return nullptr;
    return &cells_[(static_cast<std::size_t>(row) * static_cast<std::size_t>(tableCameras_) +
                    static_cast<std::size_t>(camera)) *
                       kDetectors +
                   static_cast<std::size_t>(detector)];
}

const PeakCell* PeakTables::cell(int row, int camera, int detector) const {
    return const_cast<PeakTables*>(this)->find(row, camera, detector);
}

int PeakTables::idOf(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rowIds_.size()) return -1;
    return rowIds_[static_cast<std::size_t>(row)];
}

int PeakTables::rowOf(int markerId) const {
    const auto it = rowOfId_.find(markerId);
    return it == rowOfId_.end() ? -1 : it->second;
}

void PeakTables::collect(const PeakFrameInput& in) {
    // The camera count is followed while connected, the marker list always.
    if ((in.connected && in.cameraCount != tableCameras_) || !sized_)
        resize(in.markers, in.cameraCount);
    else if (!rowsFollow(in.markers))
        resize(in.markers, tableCameras_);

    int frame = 0;
    for (const ImageRecord& peak : in.peaks) {
        if (peak.id < 0 || peak.camera < 0 || peak.detector < 0) continue;
        if (in.fastMode && peak.camera != in.selectedCamera) continue;
        // Frame assembly hands over one frame number per frame; a record
        // of another frame is not mixed into this frame's samples.
        if (frame != 0 && peak.frame != frame) continue;
        frame = peak.frame;
        PeakCell* c = find(rowOf(peak.id), peak.camera, peak.detector);
        if (!c || c->lastFrame == frame) continue;
        c->lastFrame = frame;
        c->add(peak);
    }

    // Every active cell not sampled in this frame gets a missing sample.
    const bool deviation = frame % kDeviationPeriod == 0;
    auto age = [frame, deviation](PeakCell& c) {
        if (c.lastFrame == 0) return;
        if (c.lastFrame > 0 && c.lastFrame != frame) {
            c.addMissing();
            c.lastFrame = frame;
        }
        if (deviation) c.updateDeviation();
    };
    if (!in.fastMode) {
        for (PeakCell& c : cells_) age(c);
        return;
    }
    for (int row = 0; row < rows(); ++row)
        for (int detector = 0; detector < kDetectors; ++detector)
            if (PeakCell* c = find(row, in.selectedCamera, detector)) age(*c);
}
