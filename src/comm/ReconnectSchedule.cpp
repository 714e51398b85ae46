#include "ReconnectSchedule.h"

#include <algorithm>

namespace halvane {

ReconnectSchedule::Clock::time_point ReconnectSchedule::Failed(Clock::time_point now) {
    const auto wait = m_wait;
    m_wait = std::min(m_wait * 2, kLongestWait);
    return now + wait;
}

} // namespace halvane
