#pragma once

#include <chrono>

namespace halvane {

class WakeEvent;

// Milliseconds left until `deadline`, 0 when it has passed.
int RemainingMs(std::chrono::steady_clock::time_point deadline);

// Waits until `fd` reports one of `events` or the deadline passes: the poll result
// events (POLLHUP and POLLERR included), 0 when the deadline passed or `wake` is raised
// (a raised event wins over a ready device), −1 when poll failed.
int WaitForEvents(int fd, short events, std::chrono::steady_clock::time_point deadline,
                  const WakeEvent& wake);

} // namespace halvane
