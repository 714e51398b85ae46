#include "EmfLoader.h"

#include <emf2svg.h>

#include <QRectF>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace halvane {
namespace {

constexpr uint32_t kHeaderRecordType = 1;   // EMR_HEADER
constexpr uint32_t kEofRecordType = 14;     // EMR_EOF
constexpr uint32_t kSignature = 0x464D4520; // " EMF"
constexpr qsizetype kHeaderSize = 88;       // the header record up to szlMillimeters
constexpr qsizetype kRecordStart = 8;       // every record starts with its type and size
// The converter reads the fixed fields of some records (a font, a bitmap transfer) whatever
// size the record states, so a short record near the end reads past the file. Its copy of
// the file is followed by zeros, more than the fixed part of any record.
constexpr qsizetype kConverterGuard = 1024;
constexpr double kHundredthsOfMmPerInch = 2540.0;
constexpr double kScreenPixelsPerInch = 96.0;

struct Rect32 {
    int32_t Left, Top, Right, Bottom;
};

struct EmfHeader {
    Rect32 Bounds;                         // device pixels, inclusive
    Rect32 Frame;                          // hundredths of a millimetre, inclusive
    int32_t DeviceWidth, DeviceHeight;     // reference device, pixels
    int32_t DeviceWidthMm, DeviceHeightMm; // reference device, millimetres
};

int32_t Int32At(const QByteArray& file, qsizetype offset) {
    return qFromLittleEndian<int32_t>(file.constData() + offset);
}

Rect32 RectAt(const QByteArray& file, qsizetype offset) {
    return {Int32At(file, offset), Int32At(file, offset + 4), Int32At(file, offset + 8),
            Int32At(file, offset + 12)};
}

// The converter reads the description (UTF-16 characters at an offset into the header
// record) without checking that it lies inside the record, and with no count up to a zero
// character wherever the offset points.
bool HoldsDescription(const QByteArray& file, uint32_t recordSize) {
    const auto characters = static_cast<uint32_t>(Int32At(file, 60));
    const auto offset = static_cast<uint32_t>(Int32At(file, 64));
    if (characters == 0 && offset == 0)
        return true;
    return characters > 0 && offset >= kHeaderSize && offset <= recordSize &&
           characters <= (recordSize - offset) / 2;
}

// The converter walks the records by the sizes they state until the end-of-file record,
// without checking them against the file: every record from the header on must be at least
// its type and size long, a whole number of 32-bit words, and end within the file.
bool RecordsLieWithinFile(const QByteArray& file) {
    qsizetype offset = 0;
    while (file.size() - offset >= kRecordStart) {
        const auto type = static_cast<uint32_t>(Int32At(file, offset));
        const auto size = static_cast<uint32_t>(Int32At(file, offset + 4));
        if (size < kRecordStart || size % 4 != 0 || size > file.size() - offset)
            return false;
        if (type == kEofRecordType)
            return true;
        offset += size;
    }
    return false;
}

std::optional<EmfHeader> ReadHeader(const QByteArray& file) {
    if (file.size() < kHeaderSize)
        return std::nullopt;
    const auto type = static_cast<uint32_t>(Int32At(file, 0));
    const auto recordSize = static_cast<uint32_t>(Int32At(file, 4));
    const auto signature = static_cast<uint32_t>(Int32At(file, 40));
    const auto fileSize = static_cast<uint32_t>(Int32At(file, 48)); // as the header states it
    const auto available = static_cast<uint64_t>(file.size());
    if (type != kHeaderRecordType || signature != kSignature || recordSize < kHeaderSize ||
        recordSize > fileSize || fileSize > available || !HoldsDescription(file, recordSize) ||
        !RecordsLieWithinFile(file))
        return std::nullopt;
    return EmfHeader{RectAt(file, 8),   RectAt(file, 24),  Int32At(file, 72),
                     Int32At(file, 76), Int32At(file, 80), Int32At(file, 84)};
}

int64_t Extent(int32_t low, int32_t high) {
    return static_cast<int64_t>(high) - low;
}

// Screen pixels of the frame, as a 96-dpi display shows the picture at its own size; the
// bounds when the frame is empty.
QSize PictureSize(const EmfHeader& header) {
    const int64_t frameWidth = Extent(header.Frame.Left, header.Frame.Right);
    const int64_t frameHeight = Extent(header.Frame.Top, header.Frame.Bottom);
    if (frameWidth > 0 && frameHeight > 0) {
        const double scale = kScreenPixelsPerInch / kHundredthsOfMmPerInch;
        return QSize(static_cast<int>(std::max<int64_t>(1, std::llround(frameWidth * scale))),
                     static_cast<int>(std::max<int64_t>(1, std::llround(frameHeight * scale))));
    }
    return QSize(static_cast<int>(std::clamp<int64_t>(
                     Extent(header.Bounds.Left, header.Bounds.Right) + 1, 1, INT32_MAX)),
                 static_cast<int>(std::clamp<int64_t>(
                     Extent(header.Bounds.Top, header.Bounds.Bottom) + 1, 1, INT32_MAX)));
}

// The converter draws in reference-device pixels shifted so that the bounds start at 0, 0;
// the view box is the frame in those coordinates (the bounds when the frame is unusable).
QRectF ViewBox(const EmfHeader& header, QSize size) {
    const int64_t frameWidth = Extent(header.Frame.Left, header.Frame.Right);
    const int64_t frameHeight = Extent(header.Frame.Top, header.Frame.Bottom);
    if (frameWidth > 0 && frameHeight > 0 && header.DeviceWidthMm > 0 &&
        header.DeviceHeightMm > 0 && header.DeviceWidth > 0 && header.DeviceHeight > 0) {
        const double sx = header.DeviceWidth / (header.DeviceWidthMm * 100.0);
        const double sy = header.DeviceHeight / (header.DeviceHeightMm * 100.0);
        return QRectF(header.Frame.Left * sx - header.Bounds.Left,
                      header.Frame.Top * sy - header.Bounds.Top, frameWidth * sx, frameHeight * sy);
    }
    return QRectF(0, 0, size.width(), size.height());
}

struct FreeDeleter {
    void operator()(char* memory) const { std::free(memory); }
};

std::optional<QByteArray> ConvertToSvg(const QByteArray& file) {
    QByteArray input = file + QByteArray(kConverterGuard, '\0');
    static char noNamespace[] = "";
    generatorOptions options{};
    options.nameSpace = noNamespace;
    options.svgDelimiter = true;
    options.emfplus = false; // play the plain EMF records, as GDI does
    char* output = nullptr;
    size_t length = 0;
    const int converted =
        emf2svg(input.data(), static_cast<size_t>(file.size()), &output, &length, &options);
    const std::unique_ptr<char, FreeDeleter> owned(output);
    if (converted != 1 || output == nullptr || length == 0)
        return std::nullopt;
    return QByteArray(output, static_cast<qsizetype>(length));
}

std::optional<QByteArray> WithViewBox(QByteArray svg, const QRectF& box) {
    const qsizetype root = svg.indexOf("<svg");
    if (root < 0)
        return std::nullopt;
    const QByteArray attribute = " viewBox=\"" + QByteArray::number(box.x(), 'f', 4) + ' ' +
                                 QByteArray::number(box.y(), 'f', 4) + ' ' +
                                 QByteArray::number(box.width(), 'f', 4) + ' ' +
                                 QByteArray::number(box.height(), 'f', 4) + '"';
    svg.insert(root + 4, attribute);
    return svg;
}

} // namespace

std::optional<MetafileSvg> LoadEmfAsSvg(const QByteArray& file) {
    const std::optional<EmfHeader> header = ReadHeader(file);
    if (!header)
        return std::nullopt;
    std::optional<QByteArray> svg = ConvertToSvg(file);
    if (!svg)
        return std::nullopt;
    const QSize size = PictureSize(*header);
    svg = WithViewBox(std::move(*svg), ViewBox(*header, size));
    if (!svg)
        return std::nullopt;
    return MetafileSvg{std::move(*svg), size};
}

} // namespace halvane
