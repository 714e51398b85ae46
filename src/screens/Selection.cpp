#include "Selection.h"

#include <algorithm>

namespace halvane {

bool Selection::Contains(int index) const {
    return std::binary_search(m_indices.begin(), m_indices.end(), index);
}

void Selection::Add(int index) {
    const auto at = std::lower_bound(m_indices.begin(), m_indices.end(), index);
    if (at == m_indices.end() || *at != index)
        m_indices.insert(at, index);
}

void Selection::Toggle(int index) {
    const auto at = std::lower_bound(m_indices.begin(), m_indices.end(), index);
    if (at != m_indices.end() && *at == index)
        m_indices.erase(at);
    else
        m_indices.insert(at, index);
}

void Selection::SetFront(int count) {
    m_indices.resize(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        m_indices[static_cast<size_t>(i)] = i;
}

void Selection::AddWithin(const ObjectList& objects, const MarkerRect& band) {
    const int left = std::min(band.Left, band.Right);
    const int right = std::max(band.Left, band.Right);
    const int top = std::min(band.Top, band.Bottom);
    const int bottom = std::max(band.Top, band.Bottom);
    for (size_t i = 0; i < objects.size(); ++i) {
        const MarkerRect& b = objects[i].Bounds;
        if (b.Left >= left && b.Right <= right && b.Top >= top && b.Bottom <= bottom)
            Add(static_cast<int>(i));
    }
}

void Selection::KeepWithin(size_t objectCount) {
    std::erase_if(m_indices, [objectCount](int index) {
        return index < 0 || static_cast<size_t>(index) >= objectCount;
    });
}

} // namespace halvane
