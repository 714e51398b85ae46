#include "PictureFile.h"

#include "BitmapFile.h"
#include "EmfLoader.h"
#include "WmfLoader.h"

#include <QSvgRenderer>

#include <fstream>
#include <iterator>

namespace halvane {
namespace {

std::optional<QByteArray> ReadFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::optional<SymbolPicture> FromMetafile(SymbolPicture::Kind kind,
                                          std::optional<MetafileSvg> converted) {
    if (!converted || !QSvgRenderer(converted->Svg).isValid())
        return std::nullopt;
    return SymbolPicture::FromSvg(kind, std::move(converted->Svg), converted->Size);
}

} // namespace

std::string FileExtension(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot));
}

bool IsPictureFileName(std::string_view fileName) {
    const std::string extension = FileExtension(fileName);
    return extension == ".bmp" || extension == ".wmf" || extension == ".emf";
}

std::optional<SymbolPicture> LoadPictureFile(const std::filesystem::path& path) {
    const std::string extension = FileExtension(path.filename().string());
    if (!IsPictureFileName(extension))
        return std::nullopt;
    const std::optional<QByteArray> file = ReadFile(path);
    if (!file)
        return std::nullopt;
    if (extension == ".bmp") {
        std::optional<QImage> image = DecodeBitmapFile(*file);
        if (!image)
            return std::nullopt;
        return SymbolPicture::FromBitmap(std::move(*image));
    }
    if (extension == ".wmf")
        return FromMetafile(SymbolPicture::Kind::Metafile, LoadWmfAsSvg(*file));
    return FromMetafile(SymbolPicture::Kind::EnhancedMetafile, LoadEmfAsSvg(*file));
}

} // namespace halvane
