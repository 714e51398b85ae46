#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

namespace halvane {

// A running position of the web templates, shared by every request of every client and
// kept between requests. Each operation is one atomic step on its own; a whole page sees
// no other request's steps because expansions take turns (TemplateCounters::expansion).
class TemplateCounter final {
public:
    size_t Value() const { return m_value.load(); }
    void Reset() { m_value.store(0); }
    // Moves the counter on by one when it stands below `count` - 1; false when it stays.
    bool AdvanceBelowLast(size_t count);

private:
    std::atomic<size_t> m_value{0};
};

// The tag counter and the screen counter, both 0 when the station starts. A template is
// expanded under `expansion`, one at a time, so that a page never pairs one tag's name
// with another's value when clients load pages at once.
struct TemplateCounters {
    TemplateCounter tag;
    TemplateCounter screen;
    std::mutex expansion;
};

} // namespace halvane
