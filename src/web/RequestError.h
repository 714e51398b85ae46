#pragma once

#include <string>
#include <variant>

namespace halvane {

// The failure of a request that the client sees as status 500 with this message.
struct RequestError {
    std::string message;
    bool operator==(const RequestError&) const = default;
};

// A value, or the error that fails the request.
template <class T> using OrRequestError = std::variant<T, RequestError>;

} // namespace halvane
