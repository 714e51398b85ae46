#include "TemplateCounter.h"

namespace halvane {

bool TemplateCounter::AdvanceBelowLast(size_t count) {
    size_t value = m_value.load();
    while (value + 1 < count) {
        if (m_value.compare_exchange_weak(value, value + 1))
            return true;
    }
    return false;
}

} // namespace halvane
