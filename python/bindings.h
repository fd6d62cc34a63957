// The module's parts, each adding its classes and functions to `veksock`.
#pragma once

#include <pybind11/pybind11.h>

namespace vekpy {

void bindSession(pybind11::module_& m);  // connect, Session, FrameIterator
void bindTake(pybind11::module_& m);     // open_take, Take, ChunkIterator

}  // namespace vekpy
