#pragma once

#include "WakeEvent.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace halvane {

// The blocking TCP client of the network connection. The UI thread connects and closes
// it while no worker runs; one worker then sends and receives, and the UI thread may
// interrupt it.
class NetworkLink final {
public:
    static constexpr int kDefaultIoTimeoutMs = 2000;
    // Slow gateways take their time to accept: the connect never waits less.
    static constexpr int kConnectTimeoutMs = 2000;

    NetworkLink() = default;
    ~NetworkLink();
    NetworkLink(const NetworkLink&) = delete;
    NetworkLink& operator=(const NetworkLink&) = delete;

    // Connects within kConnectTimeoutMs, whatever the I/O timeout; false with LastError()
    // saying why.
    bool Connect(const std::string& host, int port);
    void Close();
    bool IsConnected() const { return m_connected.load(std::memory_order_acquire); }
    // Ends the send or receive waiting on the socket now, and every later wait at once,
    // as if its time were up; until the next Connect. Any thread.
    void Interrupt() { m_wake.Raise(); }

    // How long one send or one receive may wait (at least 10 ms).
    void SetIoTimeout(int ms);
    int IoTimeoutMs() const { return m_ioTimeoutMs; }

    // Sends all bytes within the I/O timeout; false on a socket failure.
    bool Send(std::span<const uint8_t> bytes);

    enum class ReceiveStatus { Data, Timeout, Error };
    struct Received {
        ReceiveStatus status;
        size_t count = 0;
    };
    // What one receive delivers, at most buffer.size() bytes, waiting until the deadline.
    // A peer that closed the link is an Error, and the link counts as disconnected.
    Received ReceiveSome(std::span<uint8_t> buffer, std::chrono::steady_clock::time_point deadline);

    std::string LastError() const { return m_lastError; }

private:
    int m_fd = -1;
    int m_ioTimeoutMs = kDefaultIoTimeoutMs;
    std::atomic<bool> m_connected{false};
    WakeEvent m_wake;
    std::string m_lastError;
};

} // namespace halvane
