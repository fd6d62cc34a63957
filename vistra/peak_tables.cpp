#include "peak_tables.h"

#include <array>

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
    tableCameras_ = 0;
    sized_ = false;
}

void PeakTables::resize(int markerCount, int cameraCount) {
    tableCameras_ = cameraCount;
    sized_ = true;
    log_ << "resize " << markerCount << " " << cameraCount << " " << 2 << "\n";
    cells_.resize(static_cast<std::size_t>(markerCount));
    for (auto& cameras : cells_) cameras.resize(static_cast<std::size_t>(cameraCount));
}

PeakCell* PeakTables::find(int id, int camera, int detector) {
    if (id < 0 || camera < 0 || detector < 0 || detector > 1) return nullptr;
    if (static_cast<std::size_t>(id) >= cells_.size()) return nullptr;
    auto& cameras = cells_[static_cast<std::size_t>(id)];
    if (static_cast<std::size_t>(camera) >= cameras.size()) return nullptr;
    return &cameras[static_cast<std::size_t>(camera)][static_cast<std::size_t>(detector)];
}

const PeakCell* PeakTables::cell(int id, int camera, int detector) const {
    return const_cast<PeakTables*>(this)->find(id, camera, detector);
}

void PeakTables::collect(const PeakFrameInput& in) {
    if ((in.connected && in.cameraCount != tableCameras_) || !sized_) resize(in.markerCount, in.cameraCount);

    int frame = 0;
    for (const ImageRecord& peak : in.peaks) {
        if (peak.id < 0 || peak.camera < 0 || peak.detector < 0) continue;
        if (in.fastMode && peak.camera != in.selectedCamera) continue;
        // Frame assembly hands over one frame number per frame; a record
        // of another frame is not mixed into this frame's samples.
        if (frame != 0 && peak.frame != frame) continue;
        frame = peak.frame;
        PeakCell* c = find(peak.id, peak.camera, peak.detector);
        if (!c || c->lastFrame == frame) continue;
        c->lastFrame = frame;
        c->add(peak);
    }

    for (auto& cameras : cells_)
        for (std::size_t camera = 0; camera < cameras.size(); ++camera) {
            if (in.fastMode && static_cast<int>(camera) != in.selectedCamera) continue;
            for (PeakCell& c : cameras[camera]) {
                if (c.lastFrame == 0) continue;
                if (c.lastFrame > 0 && c.lastFrame != frame) {
                    c.addMissing();
                    c.lastFrame = frame;
                }
                if (frame % kDeviationPeriod == 0) c.updateDeviation();
            }
        }
}
