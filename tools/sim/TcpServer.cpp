#include "TcpServer.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>

namespace halvane::sim {

namespace {

constexpr int kBacklog = 8;
constexpr int kStopCheckMs = 100;

ContextPtr NewContext(const TcpEndpoint& endpoint) {
    ContextPtr context(modbus_new_tcp(endpoint.host.c_str(), endpoint.port));
    if (!context)
        throw std::runtime_error("cannot serve Modbus TCP on " + endpoint.host + ": " +
                                 modbus_strerror(errno));
    return context;
}

UniqueFd Listen(modbus_t* context, const TcpEndpoint& endpoint) {
    UniqueFd listener(modbus_tcp_listen(context, kBacklog));
    if (listener.Get() < 0)
        throw std::runtime_error("cannot listen on " + endpoint.host + ":" +
                                 std::to_string(endpoint.port) + ": " + modbus_strerror(errno));
    return listener;
}

} // namespace

TcpServer::TcpServer(const TcpEndpoint& endpoint, PlantModel& model)
    : m_model(model), m_context(NewContext(endpoint)),
      m_listener(Listen(m_context.get(), endpoint)) {}

void TcpServer::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        std::vector<pollfd> watched{{m_listener.Get(), POLLIN, 0}};
        for (const UniqueFd& client : m_clients)
            watched.push_back({client.Get(), POLLIN, 0});
        const int ready = ::poll(watched.data(), watched.size(), kStopCheckMs);
        if (ready < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "Modbus TCP: poll");
        if (ready <= 0)
            continue;
        // Backwards, so that dropping a client leaves the indexes still to visit valid.
        for (size_t i = watched.size() - 1; i >= 1; --i)
            if (watched[i].revents != 0 && !Answer(watched[i].fd))
                m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(i - 1));
        if (watched[0].revents & POLLIN)
            Accept();
    }
}

std::string TcpServer::Description() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    std::array<char, INET_ADDRSTRLEN> host{};
    ::inet_ntop(AF_INET, &address.sin_addr, host.data(), host.size());
    return "Modbus TCP on " + std::string(host.data()) + ":" +
           std::to_string(ntohs(address.sin_port));
}

void TcpServer::Accept() {
    // A failed accept (the master gave up at once, or too many files) only costs that master.
    const int client = ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0)
        m_clients.emplace_back(client);
}

bool TcpServer::Answer(int client) {
    modbus_t* context = m_context.get();
    std::array<uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> query{};
    modbus_set_socket(context, client);
    const int length = modbus_receive(context, query.data());
    if (length < 0)
        return false;
    if (length == 0)
        return true;
    // The unit identifier is the last byte of the MBAP header.
    const int unit = query[modbus_get_header_length(context) - 1];
    if (!m_model.Serves(unit))
        return modbus_reply_exception(context, query.data(), MODBUS_EXCEPTION_GATEWAY_TARGET) >= 0;
    return m_model.Serve(unit, [&](modbus_mapping_t* registers) {
        return modbus_reply(context, query.data(), length, registers);
    }) >= 0;
}

} // namespace halvane::sim
