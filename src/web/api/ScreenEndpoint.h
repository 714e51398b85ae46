#pragma once

#include "WebRequest.h"

#include <optional>
#include <stop_token>
#include <string_view>

namespace halvane {

// "/api/screens": the screens by position from 0, [{"number", "title", "width", "height"}];
// "/api/screens/N": one of them with "objects", those that show or write a tag or go to
// another screen, in drawing order; 404 with a JSON error for a screen that is not there.
// Nothing for any other path.
std::optional<WebResponse> ScreenListRoute(const WebRequest& request, const WebContext& context,
                                           std::stop_token stop);

// "/screen.N.png": the picture of the screen at position N as PNG, the same frame as
// "/screen-image-N.bmp"; an N that is not an integer fails as it does there, and 404 for a
// screen that is not there or has not been painted. Nothing for any other path.
std::optional<WebResponse> ScreenPngRoute(const WebRequest& request, const WebContext& context,
                                          std::stop_token stop);

} // namespace halvane
