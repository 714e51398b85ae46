#include "SymbolGraphic.h"

#include "DataRoot.h"
#include "PictureFile.h"

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

} // namespace

void LoadSymbolGraphic(TScreenMarker& object, bool resize) {
    object.Graphic.reset();
    const std::filesystem::path path = ResolveDataPath("gallery\\" + object.AttrStr1);
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
