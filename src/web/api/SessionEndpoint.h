#pragma once

#include "WebRequest.h"

#include <optional>
#include <stop_token>

namespace halvane {

// "/api/session" (GET): who the request comes from and what the page may offer them:
//   {"user": "olga", "role": "operator", "accounts": true, "operate": true}
// `user` and `role` are null without accounts (the configuration's web user is nobody's
// account); `accounts` tells whether the station has accounts; `operate` whether the user
// may write tags and act on alarms (an account of the operator role or above).
std::optional<WebResponse> SessionRoute(const WebRequest& request, const WebContext& context,
                                        std::stop_token stop);

} // namespace halvane
