#include "pick_name.h"

namespace glview {

std::vector<PickName> readHitRecords(const GLuint* buffer, std::size_t size, int count, int& nearest) {
    std::vector<PickName> names;
    nearest = -1;
    GLuint nearestDepth = 0;
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (at + 3 > size) break;
        const GLuint depth = buffer[at + 1];
        const std::size_t stack = buffer[at];
        const std::size_t first = at + 3;
        if (stack > size - first) break;
        at = first + stack;
        // The base name alone, or a kind without an id: nothing was named.
        if (stack < 2 || buffer[first] == 0) continue;
        names.push_back({static_cast<int>(buffer[first]), static_cast<int>(buffer[first + 1])});
        if (nearest < 0 || depth < nearestDepth) {
            nearest = static_cast<int>(names.size()) - 1;
            nearestDepth = depth;
        }
    }
    return names;
}

}  // namespace glview
