// veksock.open_take and veksock.Take: a take file's frames as arrays, read
// with the interpreter released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <mutex>
#include <optional>

#include "arrays.h"
#include "bindings.h"
#include "errors.h"
#include "take_frames.h"

namespace vekpy {

namespace {

class Take {
public:
    explicit Take(const std::string& path) : path_(path) {
        std::string error;
        bool opened;
        {
            py::gil_scoped_release released;
            opened = frames_.open(path, error);
        }
        if (!opened) throw TakeError(error);
        cameras_ = toArray(frames_.cameras());
        cameras_.attr("flags").attr("writeable") = false;
    }

    FrameBlock read(py::ssize_t start, std::optional<py::ssize_t> stop) {
        const py::ssize_t n = frames_.frames();
        if (!open_) throw TakeError(path_ + ": the take is closed");
        start = std::clamp<py::ssize_t>(start < 0 ? start + n : start, 0, n);
        py::ssize_t end = stop ? *stop : n;
        end = std::clamp<py::ssize_t>(end < 0 ? end + n : end, start, n);
        const py::ssize_t rows = end - start;
        const auto markers = static_cast<py::ssize_t>(frames_.markerIds().size());
        const auto rigids = static_cast<py::ssize_t>(frames_.rigidIds().size());

        py::array_t<int32_t> number(rows);
        py::array_t<double> time(rows);
        py::object localTime = py::none();
        if (frames_.localTimes()) localTime = py::array_t<double>(rows);
        py::array_t<int64_t> dropped(rows);
        py::array_t<float> frequency(rows);
        py::array_t<MarkerRow> markerRows({rows, markers});
        py::array_t<RigidRow> rigidRows({rows, rigids});
        TakeBlock block;
        block.number = number.mutable_data();
        block.time = time.mutable_data();
        if (!localTime.is_none()) block.localTime = localTime.cast<py::array_t<double>>().mutable_data();
        block.dropped = dropped.mutable_data();
        block.frequency = frequency.mutable_data();
        block.markers = markerRows.mutable_data();
        block.rigids = rigidRows.mutable_data();
        std::string error;
        bool ok;
        {
            py::gil_scoped_release released;
            std::lock_guard<std::mutex> lock(mutex_);
            ok = frames_.read(static_cast<uint32_t>(start), static_cast<uint32_t>(end), block, error);
        }
        if (!ok) throw TakeError(error);

        FrameBlock b;
        b.start = static_cast<uint32_t>(start);
        b.number = number;
        b.time = time;
        b.local_time = localTime;
        b.dropped = dropped;
        b.frequency = frequency;
        b.markers = markerRows;
        b.rigids = rigidRows;
        b.peaks = toArray(block.peaks);
        b.detectors = toArray(block.detectors);
        b.cameras = cameras_;
        return b;
    }

    void close() {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.close();
        open_ = false;
    }

    const TakeFrames& frames() const { return frames_; }
    const std::string& path() const { return path_; }
    const py::object& cameras() const { return cameras_; }
    bool isOpen() const { return open_; }

private:
    std::string path_;
    std::mutex mutex_;
    TakeFrames frames_;
    py::object cameras_;
    bool open_ = true;
};

struct ChunkIterator {
    py::object owner;  // keeps the take alive
    Take* take;
    py::ssize_t size;
    py::ssize_t next = 0;
};

template <typename T>
py::array_t<T> array(const std::vector<T>& v) {
    return py::array_t<T>(static_cast<py::ssize_t>(v.size()), v.data());
}

}  // namespace

void bindTake(py::module_& m) {
    py::class_<Take> take(m, "Take",
                          "A take recorded by vekrec, opened by veksock.open_take(). Opening reads it\n"
                          "once from end to end; read() and chunks() then give its frames as arrays\n"
                          "(FrameBlock). Reading forward is cheap; a range before the last one read\n"
                          "reads the take again from its start.");
    closedByWith(take);
    take.def("read", &Take::read, py::arg("start") = 0, py::arg("stop") = py::none(),
             "Frames start to stop (not included; negative counts from the end) as one\n"
             "FrameBlock; the whole take by default.")
        .def(
            "chunks",
            [](py::object self, py::ssize_t size) {
                if (size < 1) throw py::value_error("chunks of at least one frame");
                return ChunkIterator{self, &self.cast<Take&>(), size};
            },
            py::arg("size") = 1000,
            "The whole take as FrameBlocks of `size` frames (the last may be shorter).")
        .def("close", &Take::close, "Closes the file.")
        .def("__len__", [](const Take& t) { return t.frames().frames(); })
        .def_property_readonly("path", &Take::path)
        .def_property_readonly(
            "frequency", [](const Take& t) { return t.frames().session().frequency; },
            "The server's frequency when the recording began, Hz.")
        .def_property_readonly(
            "server_name", [](const Take& t) { return t.frames().session().serverName; },
            "The name the recorded server gave itself.")
        .def_property_readonly(
            "server", [](const Take& t) { return t.frames().session().server; },
            "The server as the recorder was given it.")
        .def_property_readonly(
            "start_time",
            [](const Take& t) { return static_cast<double>(t.frames().session().startUnixUs) / 1e6; },
            "When the recording began: seconds since 1970 (UTC).")
        .def_property_readonly(
            "peaks_carry_leds",
            [](const Take& t) { return (t.frames().session().flags & vektake::kPeaksCarryLeds) != 0; },
            "True when the ids of the peaks are LED ids, not marker ids.")
        .def_property_readonly(
            "recorded_as_master",
            [](const Take& t) { return (t.frames().session().flags & vektake::kRecordedAsMaster) != 0; },
            "True when the recorder was master, with a point tracker (id 0) on LEDs 0 .. n-1.")
        .def_property_readonly(
            "turned_upright", [](const Take& t) { return t.frames().zUp(); },
            "True for a take of the older z-up world, turned to y up as vekd --replay does.")
        .def_property_readonly(
            "cut_short",
            [](const Take& t) {
                return t.frames().cutShort().empty() ? py::object(py::none())
                                                     : py::str(t.frames().cutShort());
            },
            "None when the take ended cleanly, else where it stops (its whole frames read).")
        .def_property_readonly(
            "dropped", [](const Take& t) { return t.frames().end().dropped; },
            "Frames the recorder missed, as its end record says.")
        .def_property_readonly(
            "marker_ids", [](const Take& t) { return array(t.frames().markerIds()); },
            "The markers' ids, in the order of FrameBlock.markers' columns.")
        .def_property_readonly(
            "leds", [](const Take& t) { return array(t.frames().markerLeds()); },
            "The LED of each marker column (-1 where the take does not say).")
        .def_property_readonly(
            "rigid_ids", [](const Take& t) { return array(t.frames().rigidIds()); },
            "The rigid bodies' ids, in the order of FrameBlock.rigids' columns.")
        .def_property_readonly("cameras", &Take::cameras, "The take's cameras (see Frame.cameras).")
        .def("__repr__", [](const Take& t) {
            return "<veksock.Take " + t.path() + ": " + std::to_string(t.frames().frames()) + " frames" +
                   (t.isOpen() ? "" : " (closed)") + ">";
        });

    bindIterator<ChunkIterator>(m, "ChunkIterator", "FrameBlocks one after another: see Take.chunks().",
                                [](ChunkIterator& it) {
                                    const py::ssize_t n = it.take->frames().frames();
                                    if (it.next >= n) throw py::stop_iteration();
                                    const py::ssize_t start = it.next;
                                    it.next = std::min(n, start + it.size);
                                    return it.take->read(start, it.next);
                                });

    m.def(
        "open_take", [](const std::string& path) { return std::make_unique<Take>(path); }, py::arg("path"),
        "Opens a take recorded by vekrec (.vektake). Raises veksock.TakeError when it\n"
        "cannot be read (missing, foreign, damaged: the message says where); a take\n"
        "cut short opens up to its last whole frame (see Take.cut_short).");
}

}  // namespace vekpy
