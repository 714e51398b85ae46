#include "PollWait.h"

#include "WakeEvent.h"

#include <array>
#include <cerrno>
#include <poll.h>

namespace halvane {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int WaitForEvents(int fd, short events, std::chrono::steady_clock::time_point deadline,
                  const WakeEvent& wake) {
    for (;;) {
        // poll skips an entry whose descriptor is negative: a wake event that could not
        // be made never fires.
        std::array<pollfd, 2> p{pollfd{fd, events, 0}, pollfd{wake.Fd(), POLLIN, 0}};
        const int n = ::poll(p.data(), p.size(), RemainingMs(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n;
        return p[1].revents ? 0 : p[0].revents;
    }
}

} // namespace halvane
