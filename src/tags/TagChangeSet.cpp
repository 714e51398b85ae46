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
    m_flagged[index] = 1;
    m_taken.changed.push_back(index);
}

void TagChangeSet::MarkAll() {
    m_taken.all = true;
}

// The list is copied out, not moved: it keeps its room for the next changes, which are
// marked by the polls.
TagChangeSet::Taken TagChangeSet::Take() {
    Taken taken;
    taken.all = std::exchange(m_taken.all, false);
    if (!taken.all)
        taken.changed = m_taken.changed;
    for (const size_t index : m_taken.changed)
        m_flagged[index] = 0;
    m_taken.changed.clear();
    return taken;
}

} // namespace halvane
