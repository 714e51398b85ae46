#include "BitmapFile.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>

namespace halvane {
namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12; // the OS/2 header with 16-bit width and height
constexpr uint32_t kRgb = 0;             // uncompressed
constexpr uint32_t kBitFields = 3;       // uncompressed with colour masks

template <typename T> T At(const QByteArray& file, qsizetype offset) {
    return qFromLittleEndian<T>(file.constData() + offset);
}

struct PixelLayout {
    int64_t Width = 0;
    int64_t Height = 0;
    uint32_t BitsPerPixel = 0;
    uint32_t Compression = kRgb;
    uint32_t ImageSize = 0; // bytes of pixel data as the header states them, 0 when unstated
};

std::optional<PixelLayout> ReadLayout(const QByteArray& file) {
    const qsizetype info = kFileHeaderSize;
    if (file.size() < info + 4)
        return std::nullopt;
    const auto infoSize = At<uint32_t>(file, info);
    if (infoSize == kCoreHeaderSize && file.size() >= info + kCoreHeaderSize)
        return PixelLayout{At<uint16_t>(file, info + 4), At<uint16_t>(file, info + 6),
                           At<uint16_t>(file, info + 10), kRgb, 0};
    if (infoSize < 40 || file.size() < info + 40)
        return std::nullopt;
    return PixelLayout{std::llabs(At<int32_t>(file, info + 4)),
                       std::llabs(At<int32_t>(file, info + 8)), At<uint16_t>(file, info + 14),
                       At<uint32_t>(file, info + 16), At<uint32_t>(file, info + 20)};
}

// Whether `available` bytes hold the pixel data: rows padded to 4 bytes for uncompressed
// data, the stated image size for compressed data.
bool HoldsPixels(int64_t available, const PixelLayout& layout) {
    if (layout.Compression != kRgb && layout.Compression != kBitFields)
        return layout.ImageSize <= available;
    const int64_t stride = (layout.Width * layout.BitsPerPixel + 31) / 32 * 4;
    return stride == 0 || layout.Height <= available / stride;
}

bool IsComplete(const QByteArray& file) {
    if (file.size() < kFileHeaderSize || !file.startsWith("BM"))
        return false;
    const std::optional<PixelLayout> layout = ReadLayout(file);
    if (!layout)
        return false;
    const int64_t available = file.size() - int64_t{At<uint32_t>(file, 10)};
    return available >= 0 && HoldsPixels(available, *layout);
}

} // namespace

// The toolkit's reader leaves the pixels that a run-length stream skips (end of line,
// delta) or never reaches as it finds them. Given an image of the size and format it
// reports, it decodes into that image, which therefore starts as palette colour 0.
std::optional<QImage> DecodeBitmapFile(const QByteArray& file) {
    if (!IsComplete(file))
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "BMP");
    QImage image;
    if (!QImageIOHandler::allocateImage(reader.size(), reader.imageFormat(), &image))
        return std::nullopt;
    image.fill(0);
    if (!reader.read(&image))
        return std::nullopt;
    return image;
}

} // namespace halvane
