#include "errors.h"

#include "session.h"

namespace py = pybind11;

namespace vekpy {

namespace {

struct Classes {
    py::object error, refused, timedOut, protocol, stopped, take;
};

// Kept for the life of the process (never released after the interpreter ends).
Classes& classes() {
    static Classes* c = new Classes;
    return *c;
}

py::object makeClass(py::module_& m, const char* name, const char* doc, const py::object& base) {
    const std::string qualified = std::string("veksock.") + name;
    py::object cls = py::reinterpret_steal<py::object>(
        PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base.ptr(), nullptr));
    if (!cls) throw py::error_already_set();
    m.attr(name) = cls;
    return cls;
}

const py::object& classFor(int code) {
    const Classes& c = classes();
    switch (code) {
        case VEK_ERR_REFUSED:
        case VEK_ERR_MASTER_BUSY:
        case VEK_ERR_TOO_MANY_CLIENTS:
        case VEK_ERR_NOT_AUTHORISED:
        case VEK_INVALID_VALUE:
        case VEK_INVALID_ENUM:
        case VEK_INVALID_OPERATION:
            return c.refused;
        case VEK_ERR_TIMED_OUT:
            return c.timedOut;
        case VEK_ERR_PROTOCOL:
            return c.protocol;
        case VEK_SERVER_STOPPED:
            return c.stopped;
        default:
            return c.error;
    }
}

void raise(const py::object& cls, const char* text, py::object code) {
    py::object error = cls(text);
    error.attr("code") = std::move(code);
    PyErr_SetObject(cls.ptr(), error.ptr());
}

}  // namespace

void fail(int code, const std::string& context) {
    throw VekError(code, context + ": " + veksock::describeCode(code));
}

void bindErrors(py::module_& m) {
    Classes& c = classes();
    c.error = makeClass(m, "Error",
                        "A failure of the capture server, the connection or a take. `code` is the\n"
                        "library's code (veksock.h: 1 server stopped, 32-34 a refused request,\n"
                        "0x101-0x104 refusals and protocol errors, 0x105 an unusable key file, negative: "
                        "socket errors), or None.",
                        py::reinterpret_borrow<py::object>(PyExc_Exception));
    c.refused = makeClass(
        m, "Refused",
        "The server (or its host) said no: connection refused, another master\n"
        "connected, too many clients, a lab key missing or wrong, or a request refused (a slave may not\n"
        "change trackers or the frequency).",
        c.error);
    c.timedOut = makeClass(m, "TimedOut", "No answer, or no frame, within the time allowed.", c.error);
    c.protocol = makeClass(m, "ProtocolError", "The peer does not speak vekd's protocol.", c.error);
    c.stopped = makeClass(m, "ServerStopped", "The server stopped or closed the connection.", c.error);
    c.take =
        makeClass(m, "TakeError", "A take file that cannot be read: missing, foreign or damaged.", c.error);
    c.error.attr("code") = py::none();

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const VekError& e) {
            raise(classFor(e.code), e.what(), e.code != 0 ? py::object(py::int_(e.code)) : py::none());
        } catch (const TakeError& e) {
            raise(classes().take, e.what(), py::none());
        }
    });
}

}  // namespace vekpy
