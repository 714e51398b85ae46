#include "HmiFiles.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <utility>

namespace halvane {

namespace {

constexpr std::string_view kFolder = "/hmi/";
constexpr std::string_view kIndex = "/hmi/index.html";

// Every file of the page, with its type; the charset spares the browser a guess.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kFiles{{
    {"index.html", "text/html; charset=utf-8"},
    {"hmi.css", "text/css; charset=utf-8"},
    {"hmi.js", "text/javascript; charset=utf-8"},
}};

} // namespace

bool IsHmiPath(std::string_view path) {
    return path == kFolder.substr(0, kFolder.size() - 1) || path.starts_with(kFolder);
}

std::string_view HmiRequestPath(std::string_view path) {
    return path == kFolder || path == kFolder.substr(0, kFolder.size() - 1) ? kIndex : path;
}

std::optional<HmiFile> HmiFileAt(std::string_view path) {
    if (!path.starts_with(kFolder))
        return std::nullopt;
    const std::string_view name = path.substr(kFolder.size());
    const auto entry =
        std::find_if(kFiles.begin(), kFiles.end(), [&](const auto& e) { return e.first == name; });
    if (entry == kFiles.end())
        return std::nullopt;
    QFile file(QStringLiteral(":/hmi/") + QString::fromUtf8(name.data(), name.size()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return HmiFile{file.readAll().toStdString(), entry->second};
}

} // namespace halvane
