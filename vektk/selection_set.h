// A set of selected ids (marker ids, rigid or camera list indexes), kept
// as an ordered map whose entries all map to 0.
#pragma once

#include <map>

namespace vektk {

class SelectionSet {
public:
    bool Contains(int id) const { return items.count(id) != 0; }
    void Select(int id) { items.emplace(id, 0); }
    // True when the id was selected.
    bool Deselect(int id) { return items.erase(id) != 0; }
    void Clear() { items.clear(); }

    std::map<int, int> items;
};

}  // namespace vektk
