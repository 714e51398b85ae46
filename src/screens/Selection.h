#pragma once

#include "ObjectList.h"

#include <cstddef>
#include <vector>

namespace halvane {

// The objects selected on a screen in edit mode, as indices into its object list in
// ascending order (front first), so that copies keep the objects' order.
class Selection final {
public:
    bool Contains(int index) const;
    bool Empty() const { return m_indices.empty(); }
    size_t Size() const { return m_indices.size(); }
    const std::vector<int>& Indices() const { return m_indices; }

    void Clear() { m_indices.clear(); }
    // Only `index` is selected.
    void Set(int index) { m_indices = {index}; }
    void Add(int index);
    // Shift- or Ctrl-click: selects an unselected object, deselects a selected one.
    void Toggle(int index);
    // The first `count` objects of the list, as after a paste in front of all others.
    void SetFront(int count);
    // Adds every object whose drawn area lies wholly inside `band` (corners in any order).
    void AddWithin(const ObjectList& objects, const MarkerRect& band);
    // Forgets indices that no longer name an object.
    void KeepWithin(size_t objectCount);

    bool operator==(const Selection&) const = default;

private:
    std::vector<int> m_indices;
};

} // namespace halvane
