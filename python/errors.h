// Failures as Python exceptions: veksock.Error and its subclasses, chosen
// by the library's code.
#pragma once

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

namespace vekpy {

// Thrown in the module, raised in Python as the Error subclass for `code`
// (0: no library code, plain veksock.Error).
class VekError : public std::runtime_error {
public:
    VekError(int code, const std::string& text) : std::runtime_error(text), code(code) {}
    int code;
};

// A take that cannot be read: veksock.TakeError.
class TakeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "context: " and the library's words for the code.
[[noreturn]] void fail(int code, const std::string& context);
// Raises what fail() would when `code` is not 0.
inline void check(int code, const std::string& context) {
    if (code != 0) fail(code, context);
}

void bindErrors(pybind11::module_& m);

}  // namespace vekpy
