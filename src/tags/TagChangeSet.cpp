#include "TagChangeSet.h"

#include <utility>

namespace halvane {

void TagChangeSet::Mark(size_t index) {
    if (m_taken.all)
        return;
    if (index >= m_flagged.size())
        m_flagged.resize(index + 1);
    if (m_flagged[index])
        return;
    m_flagged[index] = true;
    m_taken.changed.push_back(index);
}

void TagChangeSet::MarkAll() {
    m_taken.all = true;
}

TagChangeSet::Taken TagChangeSet::Take() {
    Taken taken = std::exchange(m_taken, Taken{});
    for (const size_t index : taken.changed)
        m_flagged[index] = false;
    if (taken.all)
        taken.changed.clear();
    return taken;
}

} // namespace halvane
