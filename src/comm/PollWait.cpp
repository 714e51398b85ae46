#include "PollWait.h"

#include <cerrno>
#include <poll.h>

namespace halvane {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

int WaitForEvents(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, RemainingMs(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n;
        return p.revents;
    }
}

} // namespace halvane
