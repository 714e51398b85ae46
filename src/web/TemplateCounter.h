#pragma once

#include <atomic>
#include <cstddef>

namespace halvane {

// A running position of the web templates, shared by every request of every client and
// kept between requests. Each operation is one atomic step, so concurrent requests
// advance the same counter without a lock.
class TemplateCounter final {
public:
    size_t Value() const { return m_value.load(); }
    void Reset() { m_value.store(0); }
    // Moves the counter on by one when it stands below `count` - 1; false when it stays.
    bool AdvanceBelowLast(size_t count);

private:
    std::atomic<size_t> m_value{0};
};

// The tag counter and the screen counter, both 0 when the station starts.
struct TemplateCounters {
    TemplateCounter tag;
    TemplateCounter screen;
};

} // namespace halvane
