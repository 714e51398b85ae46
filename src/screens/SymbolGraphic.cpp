#include "SymbolGraphic.h"

#include "DataRoot.h"
#include "PictureFile.h"

#include <cstdio>
#include <filesystem>

namespace halvane {
namespace {

constexpr int kPlaceholderSide = 30;

// A light grey tile with a dark border and both diagonals: "no picture here".
QImage PlaceholderImage() {
    const QRgb light = qRgb(212, 212, 212);
    const QRgb dark = qRgb(96, 96, 96);
    const int last = kPlaceholderSide - 1;
    QImage image(kPlaceholderSide, kPlaceholderSide, QImage::Format_RGB32);
    for (int y = 0; y < kPlaceholderSide; ++y) {
        for (int x = 0; x < kPlaceholderSide; ++x) {
            const bool border = x == 0 || y == 0 || x == last || y == last;
            const bool diagonal = x == y || x == last - y;
            image.setPixel(x, y, border || diagonal ? dark : light);
        }
    }
    return image;
}

void TakeSize(TScreenMarker& object, QSize size) {
    object.Right = object.Left + size.width();
    object.Bottom = object.Top + size.height();
}

// A directory is not a file; anything else that exists is, even when it cannot be read.
bool FileExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec);
}

std::filesystem::path SymbolPath(const std::string& relative) {
    return ResolveDataPath("gallery\\" + relative);
}

// A picture of a symbol that changes with its tag: the placeholder when no file is there.
std::optional<SymbolPicture> LoadStatePicture(const std::string& relative) {
    const std::filesystem::path path = SymbolPath(relative);
    if (!FileExists(path))
        return SymbolPicture::FromBitmap(PlaceholderImage());
    return LoadPictureFile(path);
}

// Pairs that do not read are said on stderr; the symbol then has no picture per value.
void LoadSymbolStates(SymbolStates& states) {
    states.Loaded.clear();
    states.NoValueLoaded.reset();
    if (!states.IsBound())
        return;
    const ParsedSymbolPictures parsed = ParseSymbolPictures(states.Pictures);
    if (parsed.Error)
        std::fprintf(stderr, "SymbolPictures=%s: %s\n", states.Pictures.c_str(),
                     parsed.Error->c_str());
    for (const SymbolValuePicture& pair : parsed.Pairs)
        states.Loaded.emplace_back(pair.Value, LoadStatePicture(pair.Picture));
    if (!states.NoValue.empty())
        states.NoValueLoaded = LoadStatePicture(states.NoValue);
}

} // namespace

void LoadSymbolGraphic(TScreenMarker& object, bool resize) {
    object.Graphic.reset();
    LoadSymbolStates(object.States);
    const std::filesystem::path path = SymbolPath(object.AttrStr1);
    if (!FileExists(path)) {
        object.Graphic = SymbolPicture::FromBitmap(PlaceholderImage());
        TakeSize(object, object.Graphic->Size());
        return;
    }
    object.Graphic = LoadPictureFile(path);
    if (object.Graphic && resize)
        TakeSize(object, object.Graphic->Size());
}

} // namespace halvane
