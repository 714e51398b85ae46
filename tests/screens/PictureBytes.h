#pragma once

// Picture files assembled record by record, so that tests know every pixel they hold.

#include <QByteArray>
#include <QColor>
#include <QRect>
#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace picture_bytes {

inline void Put16(QByteArray& out, int value) {
    char bytes[2];
    qToLittleEndian<uint16_t>(static_cast<uint16_t>(value), bytes);
    out.append(bytes, 2);
}

inline void Put32(QByteArray& out, int64_t value) {
    char bytes[4];
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(value), bytes);
    out.append(bytes, 4);
}

inline uint32_t ColorRef(QColor colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

// A bottom-up 24-bit bitmap of one colour.
inline QByteArray SolidBmp(int width, int height, QColor colour) {
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels.append(static_cast<char>(colour.blue()))
                .append(static_cast<char>(colour.green()))
                .append(static_cast<char>(colour.red()));
        pixels.append(QByteArray(stride - width * 3, '\0'));
    }
    QByteArray file("BM");
    Put32(file, 54 + pixels.size());
    Put32(file, 0);
    Put32(file, 54);
    for (int64_t v : {40, width, height})
        Put32(file, v);
    Put16(file, 1);
    Put16(file, 24);
    for (int64_t v :
         {int64_t{0}, int64_t{pixels.size()}, int64_t{3780}, int64_t{3780}, int64_t{0}, int64_t{0}})
        Put32(file, v);
    return file + pixels;
}

// A bottom-up bitmap of 4 or 8 bits per pixel whose pixels are the run-length `stream`
// (BI_RLE4 or BI_RLE8), stated in full in the header, over the palette `colours`.
inline QByteArray RleBmp(int width, int height, int bits, const std::vector<QColor>& colours,
                         const QByteArray& stream) {
    QByteArray palette;
    for (const QColor& colour : colours)
        palette.append(static_cast<char>(colour.blue()))
            .append(static_cast<char>(colour.green()))
            .append(static_cast<char>(colour.red()))
            .append('\0');
    const int64_t offset = 54 + int64_t{palette.size()};
    QByteArray file("BM");
    Put32(file, offset + stream.size());
    Put32(file, 0);
    Put32(file, offset);
    for (int64_t v : {40, width, height})
        Put32(file, v);
    Put16(file, 1);
    Put16(file, bits);
    for (int64_t v : {int64_t{bits == 8 ? 1 : 2}, int64_t{stream.size()}, int64_t{3780},
                      int64_t{3780}, int64_t(colours.size()), int64_t{0}})
        Put32(file, v);
    return file + palette + stream;
}

// An enhanced metafile record of `length` bytes: its type, the size it states and zeros.
inline QByteArray EmfRecord(int64_t type, int64_t size, int length) {
    QByteArray record;
    Put32(record, type);
    Put32(record, size);
    return record + QByteArray(length - 8, '\0');
}

// EMR_EOF without a palette.
inline QByteArray EmfEof() {
    QByteArray record;
    for (int64_t v : {14, 20, 0, 16, 20})
        Put32(record, v);
    return record;
}

// A placeable Windows metafile whose frame is 0, 0 to width, height in units of which
// `unitsPerInch` make an inch. Shapes are drawn with a solid brush and no outline.
class Wmf {
public:
    Wmf(int width, int height, int unitsPerInch = 96)
        : m_width(width), m_height(height), m_inch(unitsPerInch) {
        Record(0x0103, {8});             // META_SETMAPMODE MM_ANISOTROPIC
        Record(0x020B, {0, 0});          // META_SETWINDOWORG y, x
        Record(0x020C, {height, width}); // META_SETWINDOWEXT y, x
        Create(0x02FA, {5, 0, 0, 0, 0}); // META_CREATEPENINDIRECT PS_NULL
    }
    Wmf& Brush(QColor colour) {
        const uint32_t c = ColorRef(colour);
        Create(0x02FC, {0, static_cast<int>(c & 0xFFFF), static_cast<int>(c >> 16), 0});
        return *this;
    }
    Wmf& Rectangle(QRect r) {
        Record(0x041B, {r.bottom() + 1, r.right() + 1, r.top(), r.left()});
        return *this;
    }
    Wmf& Ellipse(QRect r) {
        Record(0x0418, {r.bottom() + 1, r.right() + 1, r.top(), r.left()});
        return *this;
    }
    QByteArray Bytes() const {
        QByteArray body = m_records;
        Put32(body, 3); // META_EOF
        Put16(body, 0);
        QByteArray file;
        Put32(file, 0x9AC6CDD7);
        for (int v : {0, 0, 0, m_width, m_height, m_inch})
            Put16(file, v);
        Put32(file, 0);
        uint16_t checksum = 0;
        for (int i = 0; i < file.size(); i += 2)
            checksum ^= qFromLittleEndian<uint16_t>(file.constData() + i);
        Put16(file, checksum);
        for (int v : {1, 9, 0x0300})
            Put16(file, v);
        Put32(file, 9 + body.size() / 2);
        Put16(file, m_objects);
        Put32(file, m_largest);
        Put16(file, 0);
        return file + body;
    }

private:
    void Record(int function, std::initializer_list<int> words) {
        const int size = 3 + static_cast<int>(words.size());
        m_largest = std::max(m_largest, size);
        Put32(m_records, size);
        Put16(m_records, function);
        for (int w : words)
            Put16(m_records, w);
    }
    void Create(int function, std::initializer_list<int> words) {
        Record(function, words);
        Record(0x012D, {m_objects++}); // META_SELECTOBJECT
    }

    int m_width, m_height, m_inch;
    int m_objects = 0;
    int m_largest = 0;
    QByteArray m_records;
};

// An enhanced metafile on a 96-dpi reference device whose frame is 0, 0 to width, height
// pixels; `bounds` is the drawn extent the header states (inclusive), as writers set it.
class Emf {
public:
    Emf(int width, int height, QRect bounds) : m_width(width), m_height(height), m_bounds(bounds) {
        Create(38, {5, 0, 0, 0}); // EMR_CREATEPEN PS_NULL
    }
    Emf& Brush(QColor colour) {
        Create(39, {0, ColorRef(colour), 0}); // EMR_CREATEBRUSHINDIRECT BS_SOLID
        return *this;
    }
    Emf& Rectangle(QRect r) {
        Record(43, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
        return *this;
    }
    Emf& Ellipse(QRect r) {
        Record(42, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
        return *this;
    }
    QByteArray Bytes() const { return WithTail(EmfEof()); }
    // The header and the records, followed by `tail` instead of the end-of-file record; the
    // header counts the tail in the file's size.
    QByteArray WithTail(const QByteArray& tail) const {
        const QByteArray body = m_records + tail;
        QByteArray file;
        for (int64_t v : {1, 88})
            Put32(file, v);
        for (int64_t v : {m_bounds.left(), m_bounds.top(), m_bounds.right(), m_bounds.bottom()})
            Put32(file, v);
        for (int64_t v : {0, 0, m_width * 2540 / 96 - 1, m_height * 2540 / 96 - 1})
            Put32(file, v);
        for (int64_t v : {int64_t{0x464D4520}, int64_t{0x10000}, 88 + int64_t{body.size()},
                          int64_t{m_count + 2}})
            Put32(file, v);
        Put16(file, m_objects + 1);
        Put16(file, 0);
        for (int64_t v : {0, 0, 0, 960, 960, 254, 254})
            Put32(file, v);
        return file + body;
    }

private:
    void Record(int type, std::initializer_list<int64_t> values) {
        Put32(m_records, type);
        Put32(m_records, 8 + 4 * static_cast<int64_t>(values.size()));
        for (int64_t v : values)
            Put32(m_records, v);
        ++m_count;
    }
    void Create(int type, std::initializer_list<int64_t> values) {
        Put32(m_records, type);
        Put32(m_records, 12 + 4 * static_cast<int64_t>(values.size()));
        Put32(m_records, ++m_objects); // handle 0 is the metafile itself
        for (int64_t v : values)
            Put32(m_records, v);
        ++m_count;
        Record(37, {m_objects}); // EMR_SELECTOBJECT
    }

    int m_width, m_height;
    QRect m_bounds;
    int m_objects = 0;
    int m_count = 0;
    QByteArray m_records;
};

} // namespace picture_bytes
