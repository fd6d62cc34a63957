// What a hit of the GL selection pass names: the item's kind and its id.
// Each pickable item carries two GL names (kind, then id), so that every
// 32-bit id comes back whole, whatever its size.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <vector>

namespace glview {

enum PickKind { kPickMarker = 1, kPickRigid = 2, kPickCamera = 3 };

struct PickName {
    int kind = 0;
    int id = 0;
    bool operator==(const PickName&) const = default;
};

// The items of `count` hit records in `buffer` (`size` words), in buffer
// order; records of the bare base name are no item. `nearest` is the index
// (into the result) of the item with the smallest minimum depth, the first
// on a tie; -1 when there is none. Records that run past the buffer end
// the reading.
std::vector<PickName> readHitRecords(const GLuint* buffer, std::size_t size, int count, int& nearest);

}  // namespace glview
