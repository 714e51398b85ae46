#pragma once

// One HTTP GET on a new loopback connection, as a browser without keep-alive sends it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace halvane::bench {

struct HttpAnswer {
    int status = 0;
    size_t bytes = 0; // of the whole reply, head included
};

// Sends a GET of `path` with `authorization` (none when empty) to 127.0.0.1:`port` on a new
// connection and hands each piece of the reply, head included, to `take` until the end.
template <typename Take>
void HttpExchange(int port, std::string_view path, std::string_view authorization, Take take) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    std::string request = "GET " + std::string(path) + " HTTP/1.1\r\nHost: bench\r\n";
    if (!authorization.empty())
        request += "Authorization: " + std::string(authorization) + "\r\n";
    request += "Connection: close\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        take(std::string_view(buffer, static_cast<size_t>(n)));
    ::close(fd);
}

// GET `path` from 127.0.0.1:`port` with `authorization` (none when empty), read to the end.
inline HttpAnswer HttpGet(int port, std::string_view path, std::string_view authorization = {}) {
    std::string head;
    size_t bytes = 0;
    HttpExchange(port, path, authorization, [&](std::string_view piece) {
        if (head.size() < 12)
            head += piece;
        bytes += piece.size();
    });
    return {head.size() >= 12 ? std::stoi(head.substr(9, 3)) : 0, bytes};
}

// The body of a GET of `path`; empty unless the status is 200.
inline std::string HttpBody(int port, std::string_view path) {
    std::string reply;
    HttpExchange(port, path, {}, [&](std::string_view piece) { reply += piece; });
    const size_t body = reply.find("\r\n\r\n");
    if (!reply.starts_with("HTTP/1.1 200") || body == std::string::npos)
        return {};
    return reply.substr(body + 4);
}

} // namespace halvane::bench
