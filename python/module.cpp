// The Python module `veksock`.
#include <pybind11/pybind11.h>

#include "arrays.h"
#include "bindings.h"
#include "errors.h"
#include "session.h"

PYBIND11_MODULE(veksock, m) {
    m.doc() =
        "veksock: live frames from a vekd capture server and recorded takes, as NumPy\n"
        "arrays, over the suite's client library libveksock.\n"
        "\n"
        "    import veksock\n"
        "    with veksock.connect(\"127.0.0.1:8998\") as session:\n"
        "        session.point_tracker(range(6))      # LEDs 0-5 as markers\n"
        "        session.frequency = 120\n"
        "        for frame in session.frames():\n"
        "            print(frame.number, frame.markers[[\"led\", \"x\", \"y\", \"z\"]])\n"
        "\n"
        "    take = veksock.open_take(\"session.vektake\")\n"
        "    block = take.read()                      # every frame\n"
        "    xyz = block.markers[[\"x\", \"y\", \"z\"]]    # frames x markers, NaN unseen\n"
        "\n"
        "Positions are in millimetres in a y-up world (the floor is y = 0).\n"
        "A marker id is tracker id * MARKERS_PER_TRACKER + the marker's index in\n"
        "its tracker.\n"
        "Failures raise veksock.Error or one of its subclasses: Refused, TimedOut,\n"
        "ProtocolError, ServerStopped, TakeError. Waits for the network let other\n"
        "threads run, and Ctrl+C interrupts them.";
    m.attr("version") = veksock::codeText(VEK_VERSION);
    m.attr("DEFAULT_PORT") = static_cast<int>(VEK_DEFAULT_PORT);
    m.attr("MARKERS_PER_TRACKER") = static_cast<int>(VEK_MARKERS_PER_TRACKER);

    vekpy::registerDtypes();
    vekpy::bindErrors(m);
    vekpy::bindFrames(m);
    vekpy::bindSession(m);
    vekpy::bindTake(m);
}
