#pragma once

#include <cstddef>
#include <vector>

namespace halvane {

// The tags changed since the reader last took them, each once, kept by a listener that the
// tag table tells under its lock: marking costs a flag test and, the first time, an append,
// with no lock of its own. The reader takes the set under the same lock (TagTable::Locked).
class TagChangeSet final {
public:
    struct Taken {
        std::vector<size_t> changed; // in the order they first changed
        bool all = false;            // every tag may have changed

        bool Empty() const { return !all && changed.empty(); }
    };

    void Mark(size_t index);
    void MarkAll();
    Taken Take();

private:
    std::vector<unsigned char> m_flagged; // by tag index: already in m_taken.changed
    Taken m_taken;
};

} // namespace halvane
