#include "WmfFile.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

namespace halvane {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableSize = 22;
constexpr qsizetype kHeaderSize = 18;
constexpr uint16_t kEndOfFile = 0x0000;
constexpr uint16_t kSetPixel = 0x041F;
constexpr uint32_t kLongestKeptRecord = 7; // words: the scaling records and the pixel

// The records that place logical coordinates on the output.
constexpr std::array<uint16_t, 11> kMappingRecords = {
    0x0103, // META_SETMAPMODE
    0x020B, // META_SETWINDOWORG
    0x020C, // META_SETWINDOWEXT
    0x020D, // META_SETVIEWPORTORG
    0x020E, // META_SETVIEWPORTEXT
    0x020F, // META_OFFSETWINDOWORG
    0x0410, // META_SCALEWINDOWEXT
    0x0211, // META_OFFSETVIEWPORTORG
    0x0412, // META_SCALEVIEWPORTEXT
    0x001E, // META_SAVEDC
    0x0127, // META_RESTOREDC
};

// The records that draw: the mapping in force at the first of them is the picture's.
constexpr std::array<uint16_t, 26> kDrawingRecords = {
    0x0213, 0x041B, 0x0418, 0x0324, 0x0325, 0x0538, 0x0817, 0x081A, 0x0830,
    0x061C, 0x0521, 0x0A32, 0x041F, 0x061D, 0x0922, 0x0B23, 0x0940, 0x0B41,
    0x0F43, 0x0D33, 0x0228, 0x0429, 0x012B, 0x012A, 0x0419, 0x0548,
};

template <typename T> T At(const QByteArray& file, qsizetype offset) {
    return qFromLittleEndian<T>(file.constData() + offset);
}

template <size_t N> bool Contains(const std::array<uint16_t, N>& set, uint16_t function) {
    return std::find(set.begin(), set.end(), function) != set.end();
}

bool IsPlaceable(const QByteArray& file) {
    return file.size() >= kPlaceableSize && At<uint32_t>(file, 0) == kPlaceableKey;
}

void AppendRecord(QByteArray& out, uint16_t function, std::initializer_list<int> words) {
    char bytes[4];
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(3 + words.size()), bytes);
    out.append(bytes, 4);
    qToLittleEndian<uint16_t>(function, bytes);
    out.append(bytes, 2);
    for (int word : words) {
        qToLittleEndian<uint16_t>(static_cast<uint16_t>(word), bytes);
        out.append(bytes, 2);
    }
}

// The mapping records before the first drawing record; nothing when a record runs past
// the end of the file.
std::optional<QByteArray> LeadingMappingRecords(const QByteArray& file, qsizetype offset) {
    QByteArray kept;
    while (offset + 6 <= file.size()) {
        const uint32_t words = At<uint32_t>(file, offset);
        const uint16_t function = At<uint16_t>(file, offset + 4);
        if (words < 3 || words > static_cast<uint64_t>(file.size() - offset) / 2)
            return std::nullopt;
        if (function == kEndOfFile || Contains(kDrawingRecords, function))
            return kept;
        if (Contains(kMappingRecords, function))
            kept += file.mid(offset, static_cast<qsizetype>(words) * 2);
        offset += static_cast<qsizetype>(words) * 2;
    }
    return std::nullopt;
}

} // namespace

std::optional<WmfPlaceableFrame> ReadPlaceableFrame(const QByteArray& file) {
    if (!IsPlaceable(file))
        return std::nullopt;
    return WmfPlaceableFrame{At<int16_t>(file, 6), At<int16_t>(file, 8), At<int16_t>(file, 10),
                             At<int16_t>(file, 12), At<uint16_t>(file, 14)};
}

std::optional<QByteArray> MappingProbe(const QByteArray& file, int x, int y) {
    const qsizetype header = IsPlaceable(file) ? kPlaceableSize : 0;
    if (file.size() < header + kHeaderSize)
        return std::nullopt;
    const qsizetype headerWords = At<uint16_t>(file, header + 2);
    std::optional<QByteArray> records = LeadingMappingRecords(file, header + headerWords * 2);
    if (!records)
        return std::nullopt;
    AppendRecord(*records, kSetPixel, {0, 0, y, x}); // black, then y before x
    AppendRecord(*records, kEndOfFile, {});

    QByteArray probe = file.left(header + kHeaderSize);
    char bytes[4];
    qToLittleEndian<uint16_t>(kHeaderSize / 2, bytes);
    probe.replace(header + 2, 2, bytes, 2);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>((kHeaderSize + records->size()) / 2), bytes);
    probe.replace(header + 6, 4, bytes, 4);
    qToLittleEndian<uint32_t>(kLongestKeptRecord, bytes);
    probe.replace(header + 12, 4, bytes, 4);
    return probe + *records;
}

} // namespace halvane
