#include "WakeEvent.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace halvane {

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeEvent::Raise() {
    if (m_fd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void WakeEvent::Clear() {
    if (m_fd < 0)
        return;
    // Reading the counter resets it; a counter at 0 already leaves nothing to read.
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_fd, &count, sizeof count);
}

} // namespace halvane
