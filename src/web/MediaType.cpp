#include "MediaType.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace halvane {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 36> kMediaTypes{{
    {".html", "text/html"},        {".htm", "text/html"},
    {".css", "text/css"},          {".js", "text/javascript"},
    {".mjs", "text/javascript"},   {".json", "application/json"},
    {".txt", "text/plain"},        {".csv", "text/csv"},
    {".xml", "application/xml"},   {".xhtml", "application/xhtml+xml"},
    {".png", "image/png"},         {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},       {".gif", "image/gif"},
    {".bmp", "image/bmp"},         {".ico", "image/vnd.microsoft.icon"},
    {".svg", "image/svg+xml"},     {".webp", "image/webp"},
    {".avif", "image/avif"},       {".tif", "image/tiff"},
    {".tiff", "image/tiff"},       {".pdf", "application/pdf"},
    {".zip", "application/zip"},   {".gz", "application/gzip"},
    {".wasm", "application/wasm"}, {".woff", "font/woff"},
    {".woff2", "font/woff2"},      {".ttf", "font/ttf"},
    {".otf", "font/otf"},          {".mp3", "audio/mpeg"},
    {".wav", "audio/wav"},         {".oga", "audio/ogg"},
    {".ogg", "audio/ogg"},         {".mp4", "video/mp4"},
    {".mpeg", "video/mpeg"},       {".webm", "video/webm"},
}};

} // namespace

std::string MediaTypeOf(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto entry = std::find_if(kMediaTypes.begin(), kMediaTypes.end(),
                                    [&](const auto& e) { return e.first == extension; });
    return std::string(entry == kMediaTypes.end() ? "application/octet-stream" : entry->second);
}

} // namespace halvane
