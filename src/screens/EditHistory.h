#pragma once

#include "ObjectList.h"

#include <cstddef>
#include <deque>
#include <optional>

namespace halvane {

// Undo and redo of a screen's edits: the object list as it was before each edit. Objects
// are small and their pictures are shared until written, so a whole list per step is cheap.
class EditHistory final {
public:
    // The oldest steps are forgotten beyond this many.
    static constexpr size_t kMaxSteps = 200;

    // `before` is the list as it was before an edit that has just been made; the edits
    // undone until now can no longer be redone.
    void Record(ObjectList before);
    // The list before the last edit, `current` kept for Redo; nothing when there is no edit.
    std::optional<ObjectList> Undo(ObjectList current);
    // The list after the last undone edit, `current` kept for Undo.
    std::optional<ObjectList> Redo(ObjectList current);
    void Clear();

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }

private:
    std::deque<ObjectList> m_undo;
    std::deque<ObjectList> m_redo;
};

} // namespace halvane
