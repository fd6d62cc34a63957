// Writes a user's file so that a failed write never leaves it truncated:
// the content goes to a temporary file in the same folder, which is then
// renamed over the target.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace vektk {

// `write` fills the stream and answers false to abandon the write. Returns
// true when the target holds the new content; otherwise the target is
// untouched and `error` (when given) says why.
bool WriteFileAtomically(const std::string& path,
                         const std::function<bool(std::ostream&)>& write,
                         std::string* error = nullptr);

}  // namespace vektk
