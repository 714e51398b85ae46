#include "TComPort.h"

#include "DataRoot.h"
#include "PollWait.h"
#include "SerialSpeed.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultTimeoutMs = 1000;

// The bits of c_cflag that the stored line settings govern.
constexpr tcflag_t kLineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

// Waits for `events` on fd until the deadline or the wake: 1 ready, 0 timed out or woken,
// −1 device error. A hang-up with data still queued delivers the data first.
int WaitFor(int fd, short events, Clock::time_point deadline, const WakeEvent& wake) {
    const int revents = WaitForEvents(fd, events, deadline, wake);
    if (revents <= 0)
        return revents;
    if (revents & (POLLERR | POLLNVAL))
        return -1;
    return (revents & events) ? 1 : -1;
}

bool DataBitsFlag(int dataBits, tcflag_t& flag) {
    switch (dataBits) {
    case 5:
        flag = CS5;
        return true;
    case 6:
        flag = CS6;
        return true;
    case 7:
        flag = CS7;
        return true;
    case 8:
        flag = CS8;
        return true;
    default:
        return false;
    }
}

bool ParityFlags(int parity, tcflag_t& flags) {
    switch (parity) {
    case TComPort::NoParity:
        flags = 0;
        return true;
    case TComPort::OddParity:
        flags = PARENB | PARODD;
        return true;
    case TComPort::EvenParity:
        flags = PARENB;
        return true;
    case TComPort::MarkParity:
        flags = PARENB | CMSPAR | PARODD;
        return true;
    case TComPort::SpaceParity:
        flags = PARENB | CMSPAR;
        return true;
    default:
        return false;
    }
}

// Linux has 1.5 stop bits only as two stop bits with 5 data bits, chosen by the UART.
bool StopBitsFlag(int stopBits, tcflag_t& flag) {
    switch (stopBits) {
    case TComPort::OneStopBit:
        flag = 0;
        return true;
    case TComPort::OneAndHalfStopBits:
    case TComPort::TwoStopBits:
        flag = CSTOPB;
        return true;
    default:
        return false;
    }
}

} // namespace

TComPort::~TComPort() {
    Close();
}

void TComPort::SetPortSettings(std::string name, int baudRate, int dataBits, int parity,
                               int stopBits) {
    m_name = std::move(name);
    m_baudRate = baudRate;
    m_dataBits = dataBits;
    m_parity = parity;
    m_stopBits = stopBits;
}

void TComPort::SetTimeouts(int readTimeoutMs, int writeTimeoutMs) {
    m_readTimeoutMs = readTimeoutMs;
    m_writeTimeoutMs = writeTimeoutMs;
}

std::string TComPort::DevicePath() const {
    if (m_name.size() > 3 && m_name.compare(0, 3, "COM") == 0 &&
        m_name.find_first_not_of("0123456789", 3) == std::string::npos)
        return ResolveComDevice(std::stoi(m_name.substr(3)));
    return m_name;
}

std::string TComPort::LastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

bool TComPort::Fail(std::string what) {
    {
        std::lock_guard lock(m_errorMutex);
        m_lastError = std::move(what);
    }
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    return false;
}

bool TComPort::Open() {
    if (IsOpen())
        return true;
    const std::string device = DevicePath();
    m_fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return Fail(device + ": " + std::strerror(errno));
    // TIOCEXCL keeps other programs out, but not root; the lock keeps out every
    // program that asks for it, root or not.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return Fail(device + ": in use by another program");
    ::ioctl(m_fd, TIOCEXCL);
    if (!Configure())
        return false;
    // Bytes that arrived while nobody listened belong to no request of ours.
    ::tcflush(m_fd, TCIOFLUSH);
    m_wake.Clear();
    m_failed.store(false, std::memory_order_release);
    m_open.store(true, std::memory_order_release);
    return true;
}

bool TComPort::Configure() {
    const std::string device = DevicePath();
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0)
        return Fail(device + ": not a serial device (" + std::strerror(errno) + ")");
    const tcflag_t deviceLine = tio.c_cflag & kLineBits;
    ::cfmakeraw(&tio);
    tio.c_cflag = (tio.c_cflag & ~kLineBits) | deviceLine | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    tcflag_t wanted = 0;
    tcflag_t mask = 0;
    tcflag_t flag = 0;
    if (m_dataBits != -1) {
        if (!DataBitsFlag(m_dataBits, flag))
            return Fail(device + ": unsupported data bits " + std::to_string(m_dataBits));
        wanted |= flag;
        mask |= CSIZE;
    }
    if (m_parity != -1) {
        if (!ParityFlags(m_parity, flag))
            return Fail(device + ": unsupported parity " + std::to_string(m_parity));
        wanted |= flag;
        mask |= PARENB | PARODD | CMSPAR;
    }
    if (m_stopBits != -1) {
        if (!StopBitsFlag(m_stopBits, flag))
            return Fail(device + ": unsupported stop bits " + std::to_string(m_stopBits));
        wanted |= flag;
        mask |= CSTOPB;
    }
    tio.c_cflag = (tio.c_cflag & ~mask) | wanted;
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0)
        return Fail(device + ": line settings refused (" + std::strerror(errno) + ")");
    // tcsetattr succeeds when any part of the request was taken: check every part.
    termios applied{};
    if (::tcgetattr(m_fd, &applied) != 0 || (applied.c_cflag & mask) != wanted)
        return Fail(device + ": line settings refused by the device");
    if (m_baudRate != -1 && (!SetSerialSpeed(m_fd, m_baudRate) || SerialSpeed(m_fd) != m_baudRate))
        return Fail(device + ": bit rate " + std::to_string(m_baudRate) + " refused");
    return true;
}

bool TComPort::Close() {
    if (m_fd >= 0) {
        m_open.store(false, std::memory_order_release);
        ::close(std::exchange(m_fd, -1));
    }
    return true;
}

bool TComPort::Purge(bool input, bool output) {
    if (!IsOpen())
        return false;
    const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if ((!input && !output) || ::tcflush(m_fd, which) == 0)
        return true;
    DeviceError();
    return false;
}

int TComPort::Write(std::span<const uint8_t> bytes) {
    if (!IsOpen())
        return 0;
    const int timeout = m_writeTimeoutMs >= 0 ? m_writeTimeoutMs : kDefaultTimeoutMs;
    for (const uint8_t byte : bytes) {
        // One byte per write call; a byte the device does not take in time is dropped.
        const int ready =
            WaitFor(m_fd, POLLOUT, Clock::now() + std::chrono::milliseconds(timeout), m_wake);
        if (ready < 0)
            return DeviceError();
        if (ready == 0)
            continue;
        ssize_t n;
        do
            n = ::write(m_fd, &byte, 1);
        while (n < 0 && errno == EINTR);
        if (n < 0 && errno != EAGAIN)
            return DeviceError();
    }
    return static_cast<int>(bytes.size());
}

std::chrono::microseconds SerialLineTime(size_t characters, int baudRate, int dataBits, int parity,
                                         int stopBits) {
    if (baudRate <= 0)
        return {};
    const int bits = 1 + std::max(dataBits, 5) + (parity > TComPort::NoParity ? 1 : 0) +
                     (stopBits > TComPort::OneStopBit ? 2 : 1);
    const auto total = static_cast<int64_t>(characters) * bits * 1'000'000;
    return std::chrono::microseconds((total + baudRate - 1) / baudRate);
}

std::chrono::microseconds TComPort::LineTime(size_t characters) const {
    return SerialLineTime(characters, m_baudRate, m_dataBits, m_parity, m_stopBits);
}

int TComPort::ReadTimeoutMs() const {
    return m_readTimeoutMs >= 0 ? m_readTimeoutMs : kDefaultTimeoutMs;
}

int TComPort::ReadSome(std::span<uint8_t> buffer, Clock::time_point deadline) {
    if (!IsOpen())
        return -1;
    for (;;) {
        const int ready = WaitFor(m_fd, POLLIN, deadline, m_wake);
        if (ready == 0)
            return 0;
        if (ready < 0)
            return DeviceError();
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return n > 0 ? static_cast<int>(n) : DeviceError();
    }
}

int TComPort::Read(std::span<uint8_t> buffer) {
    if (!IsOpen())
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ReadTimeoutMs());
    size_t got = 0;
    while (got < buffer.size()) {
        const int n = ReadSome(buffer.subspan(got), deadline);
        if (n <= 0)
            return n;
        got += static_cast<size_t>(n);
    }
    return static_cast<int>(got);
}

int TComPort::DeviceError() {
    m_failed.store(true, std::memory_order_release);
    return -1;
}

bool TComPort::SetModemLine(int line, bool on) {
    if (!IsOpen())
        return false;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool TComPort::SetRts(bool on) {
    return SetModemLine(TIOCM_RTS, on);
}

bool TComPort::SetDtr(bool on) {
    return SetModemLine(TIOCM_DTR, on);
}

} // namespace halvane
