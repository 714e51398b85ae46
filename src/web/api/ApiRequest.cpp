#include "ApiRequest.h"

#include "ApiEndpoint.h"
#include "DecimalIndex.h"
#include "NumberFormat.h"
#include "Session.h"
#include "TagTable.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace halvane {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// "application/json", in any letter case, with or without parameters ("; charset=utf-8").
bool IsJsonMediaType(std::string_view contentType) {
    return EqualsIgnoringCase(TrimBlanks(contentType.substr(0, contentType.find(';'))),
                              "application/json");
}

// The scheme and authority the client asked for: "http://" + Host, or the scheme the proxy
// in front took the request with (the first one when proxies listed several).
std::string OwnOrigin(const WebRequest& request) {
    const std::string_view forwarded = TrimBlanks(
        std::string_view(request.forwardedProto).substr(0, request.forwardedProto.find(',')));
    const std::string scheme = forwarded.empty() ? "http" : std::string(forwarded);
    return scheme + "://" + request.host;
}

bool SameOrigin(const WebRequest& request) {
    return request.origin.empty() ||
           (!request.host.empty() && EqualsIgnoringCase(request.origin, OwnOrigin(request)));
}

} // namespace

std::optional<size_t> TagIndexOfNumber(std::string_view number, const TagTable& tags) {
    const auto parsed = ParseDecimalIndex(number);
    const int* tagNumber = std::get_if<int>(&parsed);
    if (!tagNumber || *tagNumber < 1 || static_cast<size_t>(*tagNumber) > tags.Size())
        return std::nullopt;
    return static_cast<size_t>(*tagNumber - 1);
}

WebResponse NoSuchTag(std::string_view number) {
    return JsonError(404, "There is no tag " + std::string(number) + ".");
}

bool IsRead(const WebRequest& request) {
    return request.method == "GET" || request.method == "HEAD";
}

std::optional<WebResponse> ActionRefusal(const WebRequest& request) {
    if (request.method != "POST")
        return JsonError(405, "Actions are sent with POST.");
    if (!IsJsonMediaType(request.contentType))
        return JsonError(415, "Send the body as application/json.");
    if (!SameOrigin(request))
        return JsonError(403, "Actions are taken only from the station's own pages.");
    if (!request.account)
        return JsonError(403, kNoAccountRefusal);
    if (request.account->role < Role::Operator)
        return JsonError(403,
                         RoleRefusal(request.account->name, request.account->role, Role::Operator));
    return std::nullopt;
}

std::variant<QJsonObject, WebResponse> JsonBodyObject(const WebRequest& request) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(request.body.data(), static_cast<qsizetype>(request.body.size())), &error);
    if (error.error != QJsonParseError::NoError)
        return JsonError(400, "The body is not JSON: " + error.errorString().toStdString() + ".");
    if (!document.isObject())
        return JsonError(400, "The body is not a JSON object.");
    return document.object();
}

std::optional<double> JsonNumber(const QJsonObject& body, QStringView key) {
    const QJsonValue value = body.value(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return value.toDouble();
}

} // namespace halvane
