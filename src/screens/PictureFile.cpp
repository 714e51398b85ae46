#include "PictureFile.h"

#include "BitmapFile.h"
#include "EmfLoader.h"
#include "RegularFile.h"
#include "WmfLoader.h"

#include <QSvgRenderer>

#include <cstdio>

namespace halvane {
namespace {

std::optional<SymbolPicture> FromMetafile(SymbolPicture::Kind kind,
                                          std::optional<MetafileSvg> converted) {
    if (!converted || !QSvgRenderer(converted->Svg).isValid())
        return std::nullopt;
    return SymbolPicture::FromSvg(kind, std::move(converted->Svg), converted->Size);
}

// An SVG drawing at the size its width and height (or else its view box) give.
std::optional<SymbolPicture> FromSvgFile(QByteArray svg) {
    const QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return std::nullopt;
    const QSize size = renderer.defaultSize();
    return SymbolPicture::FromSvg(SymbolPicture::Kind::Svg, std::move(svg), size);
}

} // namespace

std::optional<QByteArray> ReadPictureFile(const std::filesystem::path& path) {
    const FileContent content = ReadRegularFile(path, kMaxPictureFileBytes);
    if (!content.error.empty()) {
        std::fprintf(stderr, "%s: cannot read the picture: %s\n", path.string().c_str(),
                     content.error.c_str());
        return std::nullopt;
    }
    return QByteArray::fromStdString(content.bytes);
}

std::string FileExtension(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot));
}

bool IsPictureFileName(std::string_view fileName) {
    const std::string extension = FileExtension(fileName);
    return extension == ".bmp" || extension == ".wmf" || extension == ".emf" || extension == ".svg";
}

std::optional<SymbolPicture> LoadPictureFile(const std::filesystem::path& path) {
    const std::string extension = FileExtension(path.filename().string());
    if (!IsPictureFileName(extension))
        return std::nullopt;
    const std::optional<QByteArray> file = ReadPictureFile(path);
    if (!file)
        return std::nullopt;
    if (extension == ".bmp") {
        std::optional<QImage> image = DecodeBitmapFile(*file);
        if (!image)
            return std::nullopt;
        return SymbolPicture::FromBitmap(std::move(*image));
    }
    if (extension == ".svg")
        return FromSvgFile(std::move(*file));
    if (extension == ".wmf")
        return FromMetafile(SymbolPicture::Kind::Metafile, LoadWmfAsSvg(*file));
    return FromMetafile(SymbolPicture::Kind::EnhancedMetafile, LoadEmfAsSvg(*file));
}

} // namespace halvane
