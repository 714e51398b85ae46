#pragma once

#include "WebRequest.h"

#include <QJsonObject>

#include <cstddef>
#include <optional>
#include <string_view>
#include <variant>

namespace halvane {

class TagTable;

inline constexpr std::string_view kNoAccountRefusal = "Writes need an account";

// The tag index of a tag number from a path ("3" is the third tag), or nothing when no tag
// of the table has that number.
std::optional<size_t> TagIndexOfNumber(std::string_view number, const TagTable& tags);

// 404 for a tag number that names no tag.
WebResponse NoSuchTag(std::string_view number);

// Whether the request is one that only reads (GET, or HEAD).
bool IsRead(const WebRequest& request);

// Why an action (a POST that changes the station) is refused before what it acts on is
// looked at, in this order: another method (405), a body that is not declared
// application/json (415), an Origin that is not the request's own scheme://host[:port]
// (403: a page of another site sent it), no account (403 "Writes need an account": without
// accounts the web only reads), an account below the operator role (403). Nothing when the
// request may act.
std::optional<WebResponse> ActionRefusal(const WebRequest& request);

// The request's body as a JSON object, or the 400 answer that refuses it.
std::variant<QJsonObject, WebResponse> JsonBodyObject(const WebRequest& request);

// The finite number under `key` of a JSON body; nothing for a missing key or another value.
std::optional<double> JsonNumber(const QJsonObject& body, QStringView key);

} // namespace halvane
