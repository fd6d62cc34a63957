// veksock.connect and veksock.Session: a LiveSession behind a lock, taken
// with the interpreter released, so that other Python threads run while
// this one waits for the network; waits go in short slices with a look at
// Ctrl+C between them.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>
#include <sstream>
#include <type_traits>

#include "arrays.h"
#include "client_key.h"
#include "bindings.h"
#include "errors.h"
#include "live_session.h"

namespace vekpy {

namespace {

constexpr int kSliceMs = 50;

// "2", "0.25": as a person writes it.
std::string number(double v) {
    std::ostringstream text;
    text << v;
    return text.str();
}

int millisecondsOf(double s) { return static_cast<int>(std::clamp(std::ceil(s * 1000.0), 0.0, 1e9)); }

class Session {
public:
    void connect(const std::string& server, bool slave, double timeout,
                 const std::optional<std::string>& keyFile) {
        server_ = server;
        if (keyFile && !veksock::loadKey(keyFile->c_str()))
            fail(VEK_ERR_KEY_FILE, "cannot connect to " + server);
        const int code =
            locked([&](LiveSession& s) { return s.connect(server, slave, millisecondsOf(timeout)); });
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        check(code, "cannot connect to " + server);
    }

    void close() {
        locked([](LiveSession& s) {
            s.close();
            return 0;
        });
    }

    int loadTracker(const std::string& path, std::optional<int> id) {
        const bool point = path.ends_with(".pt");
        if (!point && !path.ends_with(".rb"))
            throw py::value_error(path + ": a tracker file is a point file (.pt) or a rigid body file (.rb)");
        if (std::FILE* f = std::fopen(path.c_str(), "r")) {
            std::fclose(f);
        } else {
            PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
            throw py::error_already_set();
        }
        vektk::Tracker tracker(point ? vektk::kPointTracker : vektk::kRigidTracker, 0, 0);
        std::ostringstream why;
        if (tracker.Load(tracker.type, path, why) == 0) {
            std::string text = why.str();
            while (!text.empty() && text.back() == '\n') text.pop_back();
            throw py::value_error(text.empty() ? path + ": no marker in the file" : text);
        }
        return define(tracker, id);
    }

    int pointTracker(const std::vector<int>& leds, std::optional<int> id) {
        return define(vektk::Tracker(vektk::kPointTracker, 0, checkedLeds(leds)), id);
    }

    int rigidTracker(const std::vector<int>& leds,
                     const py::array_t<float, py::array::c_style | py::array::forcecast>& positions,
                     std::optional<int> id) {
        vektk::Tracker tracker(vektk::kRigidTracker, 0, checkedLeds(leds));
        if (positions.ndim() != 2 || positions.shape(1) != 3 ||
            static_cast<size_t>(positions.shape(0)) != leds.size())
            throw py::value_error("positions: one row of x, y, z (millimetres, body frame) per LED");
        auto p = positions.unchecked<2>();
        for (size_t i = 0; i < leds.size(); ++i) {
            const auto row = static_cast<py::ssize_t>(i);
            tracker.markers[i].pos = {p(row, 0), p(row, 1), p(row, 2)};
            for (const float v : tracker.markers[i].pos)
                if (!std::isfinite(v)) throw py::value_error("positions: every coordinate a finite number");
        }
        return define(tracker, id);
    }

    void removeTracker(int id) {
        const int code = locked([&](LiveSession& s) {
            if (!s.hasTracker(id)) return -1;
            return s.removeTracker(id);
        });
        if (code == -1)
            throw py::key_error("tracker " + std::to_string(id) + " was not defined by this session");
        check(code, server_ + ": removing tracker " + std::to_string(id));
    }

    float frequency() {
        return locked([](LiveSession& s) { return s.frequency(); });
    }

    void setFrequency(float hz) {
        requireOpen();
        check(locked([&](LiveSession& s) { return s.setFrequency(hz); }),
              server_ + ": frequency " + number(hz) + " Hz");
    }

    void start(bool markers, bool rigids, bool peaks, bool detectors) {
        started_ = true;
        const int mask = (markers ? VEK_MARKER_BIT : 0) | (rigids ? VEK_RIGID_BIT : 0) |
                         (peaks ? VEK_IMAGE_BIT : 0) | (detectors ? VEK_DETECTOR_BIT : 0);
        requireOpen();
        check(locked([&](LiveSession& s) {
                  const int code = s.setStreams(mask);
                  return code != 0 ? code : s.setStreaming(true);
              }),
              server_ + ": starting the streams");
    }

    void stop() {
        started_ = true;
        requireOpen();
        check(locked([](LiveSession& s) { return s.setStreaming(false); }),
              server_ + ": stopping the streams");
    }

    // The next frame (or the newest, skipping the others); None when
    // `newest` and none came within the timeout.
    py::object next(std::optional<double> timeout, bool newest) {
        requireOpen();
        if (!started_) start(true, true, false, false);
        const auto begin = std::chrono::steady_clock::now();
        FrameRows rows;
        for (;;) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            const int waitMs = timeout ? std::min(kSliceMs, millisecondsOf(*timeout - elapsed)) : kSliceMs;
            int lost = 0;
            const int r = locked([&](LiveSession& s) {
                const int got = s.open() ? s.next(rows, waitMs, newest) : -2;
                lost = s.lostCode();
                return got;
            });
            if (r == 1) return py::cast(makeFrame(rows, cameras_));
            if (r == -2) closed();
            if (r == -1) fail(lost, server_);
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            if (timeout && elapsed >= *timeout) {
                if (newest) return py::none();
                throw VekError(VEK_ERR_TIMED_OUT, server_ + ": no frame came within " + number(*timeout) +
                                                      " s (is the server's frequency 0?)");
            }
        }
    }

    py::object cameras() {
        return cameras_.get(locked([](LiveSession& s) { return s.cameras(); }));
    }

    template <typename F>
    std::invoke_result_t<F, LiveSession&> locked(F&& f) {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> lock(mutex_);
        return f(live_);
    }

    const std::string& server() const { return server_; }

private:
    [[noreturn]] void closed() const { throw VekError(0, server_ + ": the session is closed"); }
    void requireOpen() {
        if (!locked([](LiveSession& s) { return s.open(); })) closed();
    }

    static std::vector<int> checkedLeds(const std::vector<int>& leds) {
        if (leds.empty()) throw py::value_error("a tracker needs at least one LED");
        if (leds.size() > static_cast<size_t>(vektk::kMaxMarkersPerTracker))
            throw py::value_error("a tracker holds at most " + std::to_string(vektk::kMaxMarkersPerTracker) +
                                  " markers");
        for (const int led : leds)
            if (led < 0) throw py::value_error("LED ids are 0 or more, not " + std::to_string(led));
        return leds;
    }

    int define(vektk::Tracker tracker, std::optional<int> id) {
        requireOpen();
        if (id && (*id < 0 || *id > 0xFFFF)) throw py::value_error("tracker ids run from 0 to 65535");
        const int code = locked([&](LiveSession& s) {
            tracker.id = id ? *id : s.freeTrackerId();
            return s.hasTracker(tracker.id) ? -1 : s.defineTracker(tracker);
        });
        if (code == -1)
            throw py::value_error("tracker " + std::to_string(tracker.id) +
                                  " is defined already (remove_tracker first)");
        check(code, server_ + ": tracker " + std::to_string(tracker.id));
        return tracker.id;
    }

    std::mutex mutex_;
    LiveSession live_;
    std::string server_;
    CameraArrays cameras_;
    bool started_ = false;  // by start() or stop(): frames() leaves the streams alone
};

struct FrameIterator {
    py::object owner;  // keeps the session alive
    Session* session;
    std::optional<double> timeout;
};

}  // namespace

void bindSession(py::module_& m) {
    py::class_<Session> session(m, "Session",
                                "One connection to a vekd server, made by veksock.connect(). As master it\n"
                                "defines trackers and sets the frequency; master or slave, it streams\n"
                                "frames. Closed by close(), by leaving a `with` block, or when the object\n"
                                "goes away.");
    closedByWith(session);
    session.def("close", &Session::close, "Closes the connection (the server removes a master's trackers).")
        .def("load_tracker", &Session::loadTracker, py::arg("path"), py::arg("id") = py::none(),
             "Defines a tracker from a tracker file: a point tracker from a .pt file, a\n"
             "rigid body from a .rb file (LED, x y z lines in millimetres). Answers its\n"
             "id (the lowest free one unless `id` is given).")
        .def("point_tracker", &Session::pointTracker, py::arg("leds"), py::arg("id") = py::none(),
             "Defines a point tracker: marker i is the LED leds[i]. Answers its id.")
        .def("rigid_tracker", &Session::rigidTracker, py::arg("leds"), py::arg("positions"),
             py::arg("id") = py::none(),
             "Defines a rigid body: marker i is the LED leds[i] at positions[i] (x, y, z in\n"
             "millimetres, in the body's frame). Answers its id.")
        .def("remove_tracker", &Session::removeTracker, py::arg("id"),
             "Removes a tracker this session defined.")
        .def_property("frequency", &Session::frequency, &Session::setFrequency,
                      "The server's frequency in Hz (0: stopped). Only a master sets it\n"
                      "(0.001 to 960); a slave gets veksock.Refused.")
        .def("start", &Session::start, py::arg("markers") = true, py::arg("rigids") = true,
             py::arg("peaks") = false, py::arg("detectors") = false,
             "Starts streaming the streams named (the others off). frames() and latest()\n"
             "start markers and rigids when nothing was started.")
        .def("stop", &Session::stop, "Stops streaming; frames already received are still handed out.")
        .def(
            "frames",
            [](py::object self, std::optional<double> timeout) {
                return FrameIterator{self, &self.cast<Session&>(), timeout};
            },
            py::arg("timeout") = 2.0,
            "An iterator over the frames in the order they were made, none skipped\n"
            "silently (Frame.dropped counts the lost ones). Each step waits up to\n"
            "`timeout` seconds (None: as long as it takes) and raises veksock.TimedOut\n"
            "when no frame came; veksock.ServerStopped once the server has gone and\n"
            "every frame it sent was handed out. Ctrl+C interrupts a wait.")
        .def(
            "latest", [](Session& s, double timeout) { return s.next(timeout, true); },
            py::arg("timeout") = 0.0,
            "The newest frame received, skipping the older ones not yet handed out\n"
            "(its `dropped` counts them); waits up to `timeout` seconds when none is\n"
            "new, then answers None.")
        .def_property_readonly("server", &Session::server, "The server as given to connect().")
        .def_property_readonly(
            "server_name", [](Session& s) { return s.locked([](LiveSession& l) { return l.serverName(); }); },
            "The name the server gave itself.")
        .def_property_readonly(
            "slave", [](Session& s) { return s.locked([](LiveSession& l) { return l.slave(); }); },
            "True for a slave connection.")
        .def_property_readonly(
            "client_id", [](Session& s) { return s.locked([](LiveSession& l) { return l.clientId(); }); },
            "This connection's number at the server.")
        .def_property_readonly(
            "same_clock", [](Session& s) { return s.locked([](LiveSession& l) { return l.sameClock(); }); },
            "True when the server runs on this machine (its clock is ours).")
        .def_property_readonly(
            "streaming", [](Session& s) { return s.locked([](LiveSession& l) { return l.streaming(); }); },
            "True while the streams are on.")
        .def_property_readonly(
            "closed", [](Session& s) { return !s.locked([](LiveSession& l) { return l.open(); }); },
            "True once closed.")
        .def_property_readonly("cameras", &Session::cameras, "The server's camera list (see Frame.cameras).")
        .def_property_readonly(
            "server_dropped",
            [](Session& s) { return s.locked([](LiveSession& l) { return l.serverDropped(); }); },
            "Frames the server dropped for this connection so far (it was not read fast enough).")
        .def_property_readonly(
            "server_skipped",
            [](Session& s) { return s.locked([](LiveSession& l) { return l.serverSkipped(); }); },
            "Frames the server never made (it fell behind) while this connection streamed.")
        .def_property_readonly(
            "library_dropped",
            [](Session& s) { return s.locked([](LiveSession& l) { return l.libraryDropped(); }); },
            "Frames dropped here because more than 1024 waited for the program.")
        .def("__repr__", [](Session& s) {
            const bool open = s.locked([](LiveSession& l) { return l.open(); });
            return "<veksock.Session " + s.server() + (open ? "" : " (closed)") + ">";
        });

    bindIterator<FrameIterator>(m, "FrameIterator", "Frames as they come: see Session.frames().",
                                [](FrameIterator& it) { return it.session->next(it.timeout, false); });

    m.def(
        "connect",
        [](const std::string& server, bool slave, double timeout, const std::optional<std::string>& keyFile) {
            auto session = std::make_unique<Session>();
            session->connect(server, slave, timeout, keyFile);
            return session;
        },
        py::arg("server") = "", py::arg("slave") = false, py::arg("timeout") = 2.0,
        py::arg("key_file") = py::none(),
        "Connects to a vekd server: \"host\" or \"host:port\" (default port 8998; empty\n"
        "means localhost). A master (slave=False) defines trackers and sets the\n"
        "frequency; a slave only watches the master's data. `timeout`: seconds for\n"
        "the connection and the server's welcome. `key_file`: the lab key for a\n"
        "server that asks for one, from now on for every connection of this\n"
        "process (default: VEK_KEY_FILE, else ~/.config/vek/key). Raises\n"
        "veksock.Refused (nothing listens there, another master is connected, too\n"
        "many clients, not authorised),\n"
        "veksock.TimedOut, veksock.ProtocolError (not a vekd) or veksock.Error.");
}

}  // namespace vekpy
