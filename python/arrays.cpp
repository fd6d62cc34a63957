#include "arrays.h"

#include <pybind11/stl.h>

#include <string>

namespace vekpy {

namespace {

// The capture time on this machine's steady clock (time.monotonic()), or
// None while the library has no estimate of the server's clock it trusts.
py::object localTime(const FrameRows& rows) {
    return rows.localUs ? py::object(py::float_(static_cast<double>(*rows.localUs) / 1e6)) : py::none();
}

std::string count(const py::object& array) { return std::to_string(py::len(array)); }

}  // namespace

void registerDtypes() {
    PYBIND11_NUMPY_DTYPE(MarkerRow, id, led, x, y, z, cond, filled);
    PYBIND11_NUMPY_DTYPE(RigidRow, id, position, quaternion, cond);
    PYBIND11_NUMPY_DTYPE(PeakRow, frame, id, camera, detector, width, flags, pos, amp);
    PYBIND11_NUMPY_DTYPE(DetectorRow, frame, id, camera, detector, peaks, pixels, exposure, noise, max_amp,
                         fov);
    PYBIND11_NUMPY_DTYPE(CameraRow, id, position, quaternion, cond, fov);
}

py::object CameraArrays::get(const std::shared_ptr<const std::vector<CameraRow>>& rows) {
    if (!rows) return toArray(std::vector<CameraRow>{});
    if (rows != rows_) {
        py::array_t<CameraRow> array = toArray(*rows);
        array.attr("flags").attr("writeable") = false;
        array_ = std::move(array);
        rows_ = rows;
    }
    return array_;
}

Frame makeFrame(const FrameRows& rows, CameraArrays& cameras) {
    Frame f;
    f.number = rows.number;
    f.time = static_cast<double>(rows.generatedUs) / 1e6;
    f.local_time = localTime(rows);
    f.dropped = rows.dropped;
    f.frequency = rows.frequency;
    f.markers = toArray(rows.markers);
    f.rigids = toArray(rows.rigids);
    f.peaks = toArray(rows.peaks);
    f.detectors = toArray(rows.detectors);
    f.cameras = cameras.get(rows.cameras);
    return f;
}

void bindFrames(py::module_& m) {
    py::class_<Frame>(m, "Frame",
                      "One frame as the server made it. Positions in millimetres, world y up\n"
                      "(the floor is y = 0); a marker not seen and a rigid body not found have\n"
                      "NaN positions.")
        .def_readonly("number", &Frame::number,
                      "The server's frame number (consecutive unless frames were lost).")
        .def_readonly("time", &Frame::time,
                      "When the server made the frame: seconds of the server's steady clock.")
        .def_readonly("local_time", &Frame::local_time,
                      "The same moment in seconds of this machine's time.monotonic(), from the\n"
                      "library's estimate of the server's clock; None while it has none it trusts.")
        .def_readonly("dropped", &Frame::dropped,
                      "Frames missing between the frame handed out before this one and this\n"
                      "one: dropped by the server or by this module's queue, skipped by\n"
                      "latest(), or never made by a server that fell behind.")
        .def_readonly("frequency", &Frame::frequency, "The server's frequency, Hz.")
        .def_readonly("markers", &Frame::markers,
                      "Structured array: id (tracker * MARKERS_PER_TRACKER + index), led (-1\n"
                      "unknown), x, y, z, cond (> 0 seen, larger is worse), filled (placed by its\n"
                      "rigid body's pose).")
        .def_readonly("rigids", &Frame::rigids,
                      "Structured array: id (tracker), position (3), quaternion (4: w, x, y, z), cond.")
        .def_readonly("peaks", &Frame::peaks,
                      "Structured array of detector peaks: frame, id (marker id, -1 none), camera,\n"
                      "detector, width, flags, pos (0 to 1), amp.")
        .def_readonly("detectors", &Frame::detectors,
                      "Structured array: frame, id, camera, detector, peaks, pixels, exposure,\n"
                      "noise, max_amp, fov (degrees).")
        .def_readonly("cameras", &Frame::cameras,
                      "Read-only structured array: id, position (3), quaternion (4), cond (< 0 not\n"
                      "calibrated), fov (degrees).")
        .def("__repr__", [](const Frame& f) {
            return "<veksock.Frame " + std::to_string(f.number) + ": " + count(f.markers) + " markers, " +
                   count(f.rigids) + " rigids, " + count(f.peaks) + " peaks, " + std::to_string(f.dropped) +
                   " dropped before it>";
        });

    py::class_<FrameBlock>(m, "FrameBlock",
                           "Frames of a take as arrays, one entry per frame: the fields of Frame.\n"
                           "markers and rigids are frames x ids (the take's marker_ids and\n"
                           "rigid_ids); peaks and detectors hold every record of the block, each\n"
                           "with its frame number.")
        .def_readonly("start", &FrameBlock::start, "The take's ordinal of the first frame (0 for the first).")
        .def_readonly("number", &FrameBlock::number, "Frame numbers, int32.")
        .def_readonly("time", &FrameBlock::time, "Generation times on the recording server's clock, seconds.")
        .def_readonly("local_time", &FrameBlock::local_time,
                      "Capture times on the recorder's clock (CLOCK_REALTIME),\n"
                      "seconds since 1970; NaN where it had no clock estimate it could trust. None\n"
                      "for a take of version 1, which holds only the server's clock.")
        .def_readonly("dropped", &FrameBlock::dropped, "Frames the recorder missed before each frame.")
        .def_readonly("frequency", &FrameBlock::frequency, "The server's frequency at each frame, Hz.")
        .def_readonly("markers", &FrameBlock::markers, "frames x markers; NaN where a marker is not seen.")
        .def_readonly("rigids", &FrameBlock::rigids, "frames x rigid bodies; NaN where a pose is not found.")
        .def_readonly("peaks", &FrameBlock::peaks, "Every peak of the block, by frame number.")
        .def_readonly("detectors", &FrameBlock::detectors, "Every detector record of the block.")
        .def_readonly("cameras", &FrameBlock::cameras, "The take's cameras.")
        .def("__len__", [](const FrameBlock& b) { return py::len(b.number); })
        .def("__repr__", [](const FrameBlock& b) {
            const size_t n = py::len(b.number);
            return "<veksock.FrameBlock frames " + std::to_string(b.start) + " to " +
                   std::to_string(b.start + n) + " of a take>";
        });
}

}  // namespace vekpy
