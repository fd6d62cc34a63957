// NumPy arrays of the module's rows (records.h) and the Frame objects made
// of them.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstring>
#include <memory>
#include <vector>

#include "frame_rows.h"

namespace vekpy {

namespace py = pybind11;

// Registers the rows' structured dtypes with pybind11 (once, at import).
void registerDtypes();

template <typename Row>
py::array_t<Row> toArray(const std::vector<Row>& rows) {
    py::array_t<Row> out(static_cast<py::ssize_t>(rows.size()));
    if (!rows.empty()) std::memcpy(out.mutable_data(), rows.data(), rows.size() * sizeof(Row));
    return out;
}

// A read-only array of a camera list, made once per list and shared by the
// frames that came with it.
class CameraArrays {
public:
    py::object get(const std::shared_ptr<const std::vector<CameraRow>>& rows);

private:
    std::shared_ptr<const std::vector<CameraRow>> rows_;
    py::object array_;
};

// A live frame.
struct Frame {
    int32_t number = 0;
    double time = 0;
    py::object local_time;
    int64_t dropped = 0;
    float frequency = 0;
    py::object markers, rigids, peaks, detectors, cameras;
};

Frame makeFrame(const FrameRows& rows, CameraArrays& cameras);

// A range of a take's frames: the fields of Frame, one entry per frame.
struct FrameBlock {
    uint32_t start = 0;  // ordinal in the take of the first frame
    py::object number, time, local_time, dropped, frequency;
    py::object markers, rigids, peaks, detectors, cameras;
};

void bindFrames(py::module_& m);

}  // namespace vekpy
