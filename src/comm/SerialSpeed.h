#pragma once

namespace halvane {

// Sets any bit rate, standard or not, on an open serial device (termios2 with BOTHER).
// Kept apart because the kernel's termios2 header clashes with <termios.h>.
bool SetSerialSpeed(int fd, int baudRate);
// The device's current input and output bit rate, or −1.
int SerialSpeed(int fd);

} // namespace halvane
