#pragma once

#include "WakeEvent.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

namespace halvane {

// How long `characters` take on a line at `baudRate`: a start bit, the data bits, a parity
// bit unless there is none, and the stop bits (one and a half count as two). Zero for a
// bit rate that is not set.
std::chrono::microseconds SerialLineTime(size_t characters, int baudRate, int dataBits, int parity,
                                         int stopBits);

// One serial device. Settings and timeouts are stored and applied at the next open; −1
// keeps the device's own value. The UI thread configures, opens and closes the port
// while no worker runs; one worker then purges, writes and reads it, and the UI thread
// may interrupt it.
class TComPort final {
public:
    enum Parity { NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3, SpaceParity = 4 };
    enum StopBits { OneStopBit = 0, OneAndHalfStopBits = 1, TwoStopBits = 2 };

    TComPort() = default;
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    void SetPortSettings(std::string name, int baudRate, int dataBits, int parity, int stopBits);
    void SetTimeouts(int readTimeoutMs, int writeTimeoutMs);

    // Opens and configures the device; true at once when already open. Exclusive: a
    // second open of the same device fails. Pending input is discarded.
    bool Open();
    bool Close();
    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }
    // Whether a write or read met a device error since the port was opened (a device
    // that went away fails every later call too).
    bool Failed() const { return m_failed.load(std::memory_order_acquire); }
    // Ends the write or read waiting on the device now, and every later wait at once,
    // as if its time were up; until the next Open. Any thread.
    void Interrupt() { m_wake.Raise(); }

    // Discards pending input and/or output; false on a device error.
    bool Purge(bool input, bool output);
    // Writes the bytes one at a time: the count written, 0 when closed, −1 on a device error.
    int Write(std::span<const uint8_t> bytes);
    // Reads exactly buffer.size() bytes within the read timeout: that count, 0 when closed
    // or when fewer arrived (they are discarded), −1 on a device error.
    int Read(std::span<uint8_t> buffer);
    // Reads what arrives, at most buffer.size() bytes, until the deadline: the count
    // (0 when nothing came), −1 on a device error or when closed.
    int ReadSome(std::span<uint8_t> buffer, std::chrono::steady_clock::time_point deadline);
    // The read timeout in effect: the stored one, or 1000 ms when it is −1.
    int ReadTimeoutMs() const;
    // SerialLineTime with the port's settings.
    std::chrono::microseconds LineTime(size_t characters) const;
    bool SetRts(bool on);
    bool SetDtr(bool on);

    const std::string& PortName() const { return m_name; }
    // The device "COM" + n reaches, or the name itself when it is a path.
    std::string DevicePath() const;
    // Why the last open failed.
    std::string LastError() const;

private:
    bool Configure();
    bool Fail(std::string what);
    bool SetModemLine(int line, bool on);
    int DeviceError();

    std::string m_name = "COM1";
    int m_baudRate = -1;
    int m_dataBits = -1;
    int m_parity = -1;
    int m_stopBits = -1;
    int m_readTimeoutMs = 1000;
    int m_writeTimeoutMs = 1000;
    int m_fd = -1;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_failed{false};
    WakeEvent m_wake;
    mutable std::mutex m_errorMutex;
    std::string m_lastError;
};

} // namespace halvane
