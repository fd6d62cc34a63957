// The module's parts, each adding its classes and functions to `veksock`.
#pragma once

#include <pybind11/pybind11.h>

namespace vekpy {

// A `with` block closes the object (its close()).
template <typename T>
void closedByWith(pybind11::class_<T>& c) {
    c.def("__enter__", [](pybind11::object self) { return self; });
    c.def("__exit__", [](T& object, const pybind11::args&) {
        object.close();
        return false;
    });
}

// A Python iterator whose steps are `next`.
template <typename T, typename Next>
void bindIterator(pybind11::module_& m, const char* name, const char* doc, Next next) {
    pybind11::class_<T>(m, name, doc)
        .def("__iter__", [](pybind11::object self) { return self; })
        .def("__next__", next);
}

void bindSession(pybind11::module_& m);  // connect, Session, FrameIterator
void bindTake(pybind11::module_& m);     // open_take, Take, ChunkIterator

}  // namespace vekpy
