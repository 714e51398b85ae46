#pragma once

#include <string>
#include <string_view>

namespace halvane {

struct Credentials {
    std::string user;
    std::string password;
    bool operator==(const Credentials&) const = default;
};

// The user name and password of the value of an "Authorization" header of the Basic
// scheme: base64 of "user:password", split at the first ":". Both are empty when the
// header is absent, of another scheme, not strict base64 or without a ":".
Credentials DecodeBasicAuthorization(std::string_view header);

} // namespace halvane
