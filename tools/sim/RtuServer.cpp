#include "RtuServer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>

namespace halvane::sim {

namespace {

constexpr int kStopCheckMs = 100;
// The framer finds each frame complete in its socket; these only bound a cut frame.
constexpr std::uint32_t kFramerWaitUs = 20000;

// Modbus RTU ends a frame after 3.5 character times of silence, counting 11 bits a
// character; above 19200 bit/s the gap is fixed at 1.75 ms.
int FrameGapMs(int baud) {
    const double gapMs = baud > 19200 ? 1.75 : 3.5 * 11 * 1000.0 / baud;
    return static_cast<int>(std::ceil(gapMs));
}

enum class Input { Quiet, Ready, HungUp };

Input WaitForInput(int fd, int timeoutMs) {
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, timeoutMs) <= 0)
        return Input::Quiet;
    if (watched.revents & (POLLHUP | POLLERR | POLLNVAL))
        return Input::HungUp;
    return Input::Ready;
}

// Appends what `fd` holds now; false when reading failed (errno tells why).
bool ReadAvailable(int fd, std::vector<std::uint8_t>& into) {
    std::array<std::uint8_t, 512> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n > 0)
            into.insert(into.end(), chunk.begin(), chunk.begin() + n);
        else if (n == 0 || errno == EAGAIN)
            return true;
        else if (errno != EINTR)
            return false;
    }
}

// Writes all of `bytes`, waiting while `fd` is full; false when writing failed.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n >= 0) {
            bytes = bytes.subspan(static_cast<size_t>(n));
        } else if (errno == EAGAIN) {
            pollfd watched{fd, POLLOUT, 0};
            ::poll(&watched, 1, kStopCheckMs);
        } else if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

ConnectedContextPtr OpenLine(const SerialLine& line) {
    ContextPtr context(
        modbus_new_rtu(line.device.c_str(), line.baud, line.parity, line.dataBits, line.stopBits));
    if (!context || modbus_connect(context.get()) != 0)
        throw std::runtime_error("cannot open serial line " + line.device + ": " +
                                 modbus_strerror(errno));
    ConnectedContextPtr connected(context.release());
    // Bytes that arrived before we listened belong to no request of ours.
    modbus_flush(connected.get());
    return connected;
}

} // namespace

RtuServer::RtuServer(const SerialLine& line, PlantModel& model)
    : m_model(model), m_settings(line), m_gapMs(FrameGapMs(line.baud)), m_line(OpenLine(line)),
      m_feed(-1), m_framerEnd(-1) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        throw std::system_error(errno, std::generic_category(), "socketpair");
    m_feed = UniqueFd(pair[0]);
    m_framerEnd = UniqueFd(pair[1]);
    m_framer.reset(
        modbus_new_rtu(line.device.c_str(), line.baud, line.parity, line.dataBits, line.stopBits));
    if (!m_framer)
        throw std::runtime_error(std::string("Modbus RTU: ") + modbus_strerror(errno));
    modbus_set_socket(m_framer.get(), m_framerEnd.Get());
    modbus_set_indication_timeout(m_framer.get(), 0, kFramerWaitUs);
    modbus_set_byte_timeout(m_framer.get(), 0, kFramerWaitUs);
}

void RtuServer::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        switch (WaitForInput(LineFd(), kStopCheckMs)) {
        case Input::Quiet:
            break;
        case Input::HungUp:
            throw std::runtime_error("serial line " + m_settings.device + " was closed");
        case Input::Ready:
            if (const auto frame = ReadFrame(); !frame.empty())
                Answer(frame);
            break;
        }
    }
}

std::string RtuServer::Description() const {
    return "Modbus RTU on " + m_settings.device + " at " + std::to_string(m_settings.baud) + " " +
           std::to_string(m_settings.dataBits) + m_settings.parity +
           std::to_string(m_settings.stopBits);
}

std::vector<std::uint8_t> RtuServer::ReadFrame() {
    std::vector<std::uint8_t> frame;
    do {
        if (!ReadAvailable(LineFd(), frame))
            LineFailed("read");
    } while (WaitForInput(LineFd(), m_gapMs) == Input::Ready);
    return frame;
}

void RtuServer::Answer(std::span<const std::uint8_t> frame) {
    const int unit = frame.front();
    if (!m_model.Serves(unit))
        return;
    modbus_t* framer = m_framer.get();
    modbus_set_slave(framer, unit);
    // A frame can never be longer than this; the socket pair holds that much at once.
    WriteAll(m_feed.Get(), frame.first(std::min<size_t>(frame.size(), MODBUS_RTU_MAX_ADU_LENGTH)));
    std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> query{};
    const int length = modbus_receive(framer, query.data());
    std::vector<std::uint8_t> rest;
    ReadAvailable(m_framerEnd.Get(), rest); // what a garbled frame carried beyond its length
    if (length <= 0)
        return; // a wrong CRC or a cut frame: a slave stays silent
    m_model.Serve(unit, [&](modbus_mapping_t* registers) {
        return modbus_reply(framer, query.data(), length, registers);
    });
    std::vector<std::uint8_t> reply;
    ReadAvailable(m_feed.Get(), reply);
    if (!WriteAll(LineFd(), reply))
        LineFailed("write");
}

void RtuServer::LineFailed(const char* operation) const {
    throw std::runtime_error("serial line " + m_settings.device + ": " + operation +
                             " failed: " + std::strerror(errno));
}

int RtuServer::LineFd() const {
    return modbus_get_socket(m_line.get());
}

} // namespace halvane::sim
