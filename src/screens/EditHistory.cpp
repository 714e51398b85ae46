#include "EditHistory.h"

namespace halvane {

void EditHistory::Record(ObjectList before) {
    m_undo.push_back(std::move(before));
    if (m_undo.size() > kMaxSteps)
        m_undo.pop_front();
    m_redo.clear();
}

std::optional<ObjectList> EditHistory::Undo(ObjectList current) {
    if (m_undo.empty())
        return std::nullopt;
    ObjectList before = std::move(m_undo.back());
    m_undo.pop_back();
    m_redo.push_back(std::move(current));
    return before;
}

std::optional<ObjectList> EditHistory::Redo(ObjectList current) {
    if (m_redo.empty())
        return std::nullopt;
    ObjectList after = std::move(m_redo.back());
    m_redo.pop_back();
    m_undo.push_back(std::move(current));
    return after;
}

void EditHistory::Clear() {
    m_undo.clear();
    m_redo.clear();
}

} // namespace halvane
