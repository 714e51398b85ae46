#include "PictureBytes.h"
#include "ScreenTestSupport.h"
#include "TempDir.h"

#include "DataRoot.h"
#include "PictureFile.h"
#include "SymbolGraphic.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <random>

using namespace halvane;
using namespace picture_bytes;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 128, 0);

void WriteBytes(const std::filesystem::path& file, const QByteArray& bytes) {
    WriteText(file, bytes.toStdString());
}

QByteArray Stream(std::initializer_list<int> bytes) {
    QByteArray stream;
    for (int b : bytes)
        stream.append(static_cast<char>(b));
    return stream;
}

// `bytes` with the 32-bit value at `offset` replaced.
QByteArray Patched(QByteArray bytes, qsizetype offset, uint32_t value) {
    qToLittleEndian(value, bytes.data() + offset);
    return bytes;
}

class SymbolGraphicTest : public ::testing::Test {
protected:
    SymbolGraphicTest() { SetDataRoot(m_root.Path().string()); }

    void Put(const std::string& relative, const QByteArray& bytes) {
        WriteBytes(m_root / ("gallery/" + relative), bytes);
    }

    // An object at (10, 20) to (110, 70) showing the picture AttrStr1.
    static TScreenMarker Symbol(const std::string& attrStr1) {
        TScreenMarker object;
        object.Type = kGraphicalSymbol;
        object.Left = 10;
        object.Top = 20;
        object.Right = 110;
        object.Bottom = 70;
        object.AttrStr1 = attrStr1;
        return object;
    }

    static QImage Drawn(const SymbolPicture& picture, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        picture.Draw(painter, QRect(QPoint(0, 0), size));
        return image;
    }

    TempDir m_root;
};

TEST_F(SymbolGraphicTest, PicturesTakeTheirSizeOnlyWhenResized) {
    Put("pumps/pump.bmp", SolidBmp(48, 32, kBlue));
    Put("pumps/pump.wmf", Wmf(80, 40).Brush(kBlue).Rectangle({0, 0, 80, 40}).Bytes());
    Put("pumps/twips.wmf", Wmf(1200, 600, 1440).Brush(kBlue).Rectangle({0, 0, 1200, 600}).Bytes());
    Put("pumps/pump.emf",
        Emf(64, 50, {0, 0, 64, 50}).Brush(kBlue).Rectangle({0, 0, 64, 50}).Bytes());
    const struct {
        const char* file;
        SymbolPicture::Kind kind;
        QSize size;
    } cases[] = {
        {"pumps\\pump.bmp", SymbolPicture::Kind::Bitmap, {48, 32}},
        {"pumps\\pump.wmf", SymbolPicture::Kind::Metafile, {80, 40}},
        {"pumps\\twips.wmf", SymbolPicture::Kind::Metafile, {80, 40}},
        {"pumps\\pump.emf", SymbolPicture::Kind::EnhancedMetafile, {64, 50}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TScreenMarker kept = Symbol(c.file);
        LoadSymbolGraphic(kept, false);
        ASSERT_TRUE(kept.Graphic.has_value());
        EXPECT_EQ(kept.Graphic->PictureKind(), c.kind);
        EXPECT_EQ(kept.Graphic->Size(), c.size);
        EXPECT_EQ(kept.Rect(), (MarkerRect{10, 20, 110, 70}));

        TScreenMarker resized = Symbol(c.file);
        LoadSymbolGraphic(resized, true);
        EXPECT_EQ(resized.Rect(), (MarkerRect{10, 20, 10 + c.size.width(), 20 + c.size.height()}));
    }
}

TEST_F(SymbolGraphicTest, ExtensionsMatchExactlyAndMissingFilesGiveThePlaceholder) {
    const QByteArray emf =
        Emf(20, 20, {0, 0, 19, 19}).Brush(kBlue).Rectangle({0, 0, 20, 20}).Bytes();
    Put("pumps/pump.emf", emf);
    Put("pumps/PUMP.EMF", emf);
    Put("pumps/pump.gif", SolidBmp(4, 4, kBlue));
    Put("pumps/noextension", emf);
    const struct {
        const char* attrStr1;
        bool picture;
        bool placeholder;
    } cases[] = {
        {"pumps\\pump.emf", true, false},
        {"pumps\\PUMP.EMF", false, false},
        {"pumps\\pump.gif", false, false},
        {"pumps\\noextension", false, false},
        {"pumps\\absent.emf", false, true},
        {"absent\\pump.emf", false, true},
        {"pumps", false, true}, // a folder is not a file
        {"", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attrStr1);
        TScreenMarker object = Symbol(c.attrStr1);
        object.Graphic = SymbolPicture::FromBitmap(QImage(5, 5, QImage::Format_RGB32));
        LoadSymbolGraphic(object, false);
        EXPECT_EQ(object.Graphic.has_value(), c.picture || c.placeholder);
        if (c.placeholder) {
            EXPECT_EQ(object.Graphic->Size(), QSize(30, 30));
            EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 40, 50}));
        } else {
            EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70}));
        }
    }
}

TEST_F(SymbolGraphicTest, PlaceholderIsAGreyTileWithACross) {
    TScreenMarker object = Symbol("absent.bmp");
    LoadSymbolGraphic(object, false);
    ASSERT_TRUE(object.Graphic.has_value());
    const QImage image = Drawn(*object.Graphic, {30, 30});
    const QRgb dark = image.pixel(0, 0);
    const QRgb light = image.pixel(15, 3);
    EXPECT_EQ(qGray(dark), qRed(dark));
    EXPECT_EQ(qGray(light), qRed(light));
    EXPECT_LT(qGray(dark), qGray(light));
    for (QPoint p : {QPoint(29, 29), QPoint(29, 0), QPoint(0, 29), QPoint(14, 14), QPoint(7, 22)})
        EXPECT_EQ(image.pixel(p), dark) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(3, 15), QPoint(26, 15), QPoint(15, 26)})
        EXPECT_EQ(image.pixel(p), light) << p.x() << "," << p.y();
}

TEST_F(SymbolGraphicTest, UnreadablePicturesLeaveNoGraphic) {
    const QByteArray bmp = SolidBmp(16, 16, kBlue);
    const QByteArray wmf = Wmf(40, 40).Brush(kBlue).Rectangle({0, 0, 40, 40}).Bytes();
    const QByteArray emf =
        Emf(40, 40, {0, 0, 39, 39}).Brush(kBlue).Rectangle({0, 0, 40, 40}).Bytes();
    QByteArray unsignedEmf = emf;
    unsignedEmf[40] = 'X'; // the " EMF" signature
    const struct {
        const char* file;
        QByteArray bytes;
    } cases[] = {
        {"cut.bmp", bmp.left(bmp.size() - 10)},
        {"header-only.bmp", bmp.left(60)},
        {"empty.bmp", QByteArray()},
        {"text.bmp", QByteArray("not a picture at all")},
        {"cut.wmf", wmf.left(wmf.size() / 2)},
        {"header-only.wmf", wmf.left(30)},
        {"garbage.wmf", QByteArray(300, '\x5A')},
        {"cut.emf", emf.left(emf.size() - 24)},
        {"header-only.emf", emf.left(60)},
        {"unsigned.emf", unsignedEmf},
        {"garbage.emf", QByteArray(300, '\x5A')},
        {"bitmap.emf", bmp},
        {"metafile.emf", wmf},
        {"bitmap.wmf", bmp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Put(c.file, c.bytes);
        TScreenMarker object = Symbol(c.file);
        LoadSymbolGraphic(object, true);
        EXPECT_FALSE(object.Graphic.has_value());
        EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70}));
    }
}

// A read that fails part-way (the kernel refuses reading /proc/self/mem at address 0) and a
// folder: each is said on stderr with the file and the reason, and gives no picture.
TEST_F(SymbolGraphicTest, ReadErrorsAreReportedAndLeaveNoGraphic) {
    const std::filesystem::path gallery = m_root / "gallery";
    std::filesystem::create_directories(gallery / "folder.wmf");
    std::filesystem::create_symlink("/proc/self/mem", gallery / "mem.bmp");
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {{"mem.bmp", "Input/output error"}, {"folder.wmf", "Is a directory"}};
    for (const auto& c : cases) {
        const std::filesystem::path path = gallery / c.file;
        std::optional<SymbolPicture> picture;
        const std::string said = StderrOf([&] { picture = LoadPictureFile(path); });
        EXPECT_FALSE(picture.has_value()) << c.file;
        EXPECT_EQ(said, path.string() + ": cannot read the picture: " + c.reason + "\n");
    }
    TScreenMarker object = Symbol("mem.bmp");
    StderrOf([&] { LoadSymbolGraphic(object, true); });
    EXPECT_FALSE(object.Graphic.has_value());
    EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70}));
}

// A run-length stream may skip pixels (end of line, delta) or stop before the bitmap is
// full: those pixels show palette colour 0, never what the memory held before (fresh memory
// is not zero under AddressSanitizer, which makes that visible).
TEST_F(SymbolGraphicTest, RunLengthBitmapsShowPaletteColourZeroWhereTheStreamWritesNothing) {
    const std::vector<QColor> palette{kGreen, kRed, kBlue};
    const struct {
        const char* file;
        int bits;
        QByteArray stream;
        std::vector<std::string> rows; // palette indices, top row first
    } cases[] = {
        {"whole.bmp", 8, Stream({4, 1, 0, 0, 2, 2, 2, 1, 0, 1}), {"2211", "1111"}},
        {"stops.bmp", 8, Stream({4, 1, 0, 0}), {"0000", "1111"}},
        {"stops-in-row.bmp", 8, Stream({4, 1, 0, 0, 3, 2}), {"2220", "1111"}},
        {"short-rows.bmp", 8, Stream({2, 2, 0, 0, 3, 1, 0, 1}), {"1110", "2200"}},
        {"delta.bmp", 8, Stream({1, 1, 0, 2, 2, 1, 1, 2, 0, 1}), {"0002", "1000"}},
        {"stops-4bit.bmp", 4, Stream({4, 0x12, 0, 0}), {"0000", "1212"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Put(c.file, RleBmp(4, 2, c.bits, palette, c.stream));
        TScreenMarker object = Symbol(c.file);
        LoadSymbolGraphic(object, false);
        ASSERT_TRUE(object.Graphic.has_value());
        ASSERT_EQ(object.Graphic->Size(), QSize(4, 2));
        const QImage image = Drawn(*object.Graphic, {4, 2});
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(image.pixelColor(x, y).name().toStdString(),
                          palette.at(c.rows[y][x] - '0').name().toStdString())
                    << x << "," << y;
    }
}

// The converter trusts the size each record states: every record must lie whole within the
// file, up to the end-of-file record; what follows that record is not read.
TEST_F(SymbolGraphicTest, EnhancedMetafilesLoadOnlyWhenEveryRecordLiesWithinTheFile) {
    const Emf emf = Emf(40, 40, {0, 0, 39, 39}).Brush(kBlue).Rectangle({0, 0, 40, 40});
    const QByteArray whole = emf.Bytes();
    const struct {
        const char* file;
        QByteArray bytes;
        bool loads;
    } cases[] = {
        {"whole.emf", whole, true},
        {"trailing.emf", emf.WithTail(EmfEof() + "trailing bytes"), true},
        {"no-eof.emf", emf.WithTail({}), false},
        {"eof-type-only.emf", emf.WithTail(EmfEof().left(4)), false},
        {"eof-cut.emf", emf.WithTail(EmfEof().left(12)), false},
        {"eof-odd-size.emf", emf.WithTail(Patched(EmfEof(), 4, 11)), false},
        {"size-below-8.emf", emf.WithTail(EmfRecord(42, 4, 8) + EmfEof()), false},
        {"size-zero.emf", emf.WithTail(EmfRecord(42, 0, 24) + EmfEof()), false},
        {"size-past-end.emf", emf.WithTail(EmfRecord(42, 400, 24) + EmfEof()), false},
        {"header-to-end.emf", Patched(whole, 4, static_cast<uint32_t>(whole.size() - 4)), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Put(c.file, c.bytes);
        TScreenMarker object = Symbol(c.file);
        LoadSymbolGraphic(object, false);
        EXPECT_EQ(object.Graphic.has_value(), c.loads);
    }
}

// Each metafile fills its right half only: a picture cropped to what it draws, instead of
// keeping its frame, would cover the whole target.
TEST_F(SymbolGraphicTest, MetafilesStretchTheirFrameOverTheTarget) {
    Put("a.wmf", Wmf(100, 100)
                     .Brush(kBlue)
                     .Rectangle({50, 0, 50, 100})
                     .Brush(kYellow)
                     .Ellipse({60, 30, 30, 40})
                     .Bytes());
    Put("a.emf", Emf(100, 100, {50, 0, 50, 100})
                     .Brush(kBlue)
                     .Rectangle({50, 0, 50, 100})
                     .Brush(kYellow)
                     .Ellipse({60, 30, 30, 40})
                     .Bytes());
    for (const char* file : {"a.wmf", "a.emf"}) {
        SCOPED_TRACE(file);
        TScreenMarker object = Symbol(file);
        LoadSymbolGraphic(object, false);
        ASSERT_TRUE(object.Graphic.has_value());
        const QImage image = Drawn(*object.Graphic, {300, 120});
        EXPECT_EQ(image.pixelColor(225, 60), kYellow); // the ellipse's centre
        EXPECT_EQ(image.pixelColor(165, 10), kBlue);
        EXPECT_EQ(image.pixelColor(290, 110), kBlue);
        EXPECT_EQ(image.pixelColor(75, 60), QColor(Qt::white));
        EXPECT_EQ(image.pixelColor(140, 60), QColor(Qt::white));
    }
}

TEST_F(SymbolGraphicTest, BitmapsStretchOverTheTarget) {
    Put("b.bmp", SolidBmp(3, 2, kRed));
    TScreenMarker object = Symbol("b.bmp");
    LoadSymbolGraphic(object, false);
    ASSERT_TRUE(object.Graphic.has_value());
    const QImage image = Drawn(*object.Graphic, {40, 30});
    for (QPoint p : {QPoint(0, 0), QPoint(39, 29), QPoint(20, 15)})
        EXPECT_EQ(image.pixelColor(p), kRed);
}

// Red up to x = 5.5 of a 10-unit square, white beyond: a bitmap of it has a blended column
// at the edge, which scaling spreads; drawn from its vectors the edge stays one pixel sharp.
TEST_F(SymbolGraphicTest, SvgPicturesAreDrawnSharpAtAnySize) {
    Put("pumps/half.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"
        viewBox="0 0 10 10"><rect x="0" y="0" width="5.5" height="10" fill="#ff0000"/></svg>)");
    TScreenMarker object = Symbol("pumps\\half.svg");
    LoadSymbolGraphic(object, true);
    ASSERT_TRUE(object.Graphic.has_value());
    EXPECT_EQ(object.Graphic->PictureKind(), SymbolPicture::Kind::Svg);
    EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 20, 30}));
    for (int side : {20, 200}) {
        SCOPED_TRACE(side);
        const QImage image = Drawn(*object.Graphic, {side, side});
        const int edge = side * 55 / 100;
        for (int y : {0, side / 2, side - 1}) {
            EXPECT_EQ(image.pixelColor(0, y), kRed);
            EXPECT_EQ(image.pixelColor(edge - 1, y), kRed);
            EXPECT_EQ(image.pixelColor(edge, y), QColor(Qt::white));
            EXPECT_EQ(image.pixelColor(side - 1, y), QColor(Qt::white));
        }
    }
}

TEST_F(SymbolGraphicTest, SvgFilesThatDoNotParseLeaveNoGraphic) {
    for (const char* text : {"", "not a drawing", "<svg xmlns=\"http://www.w3.org/2000/svg\""}) {
        SCOPED_TRACE(text);
        Put("bad.svg", text);
        TScreenMarker object = Symbol("bad.svg");
        StderrOf([&] { LoadSymbolGraphic(object, true); });
        EXPECT_FALSE(object.Graphic.has_value());
        EXPECT_EQ(object.Rect(), (MarkerRect{10, 20, 110, 70}));
    }
}

// Cut or scrambled files load or fail without harm (the sanitizers watch the parsers);
// a file cut anywhere before its end never loads. Each 32-bit word in turn, record and
// header sizes among them, also takes the sizes a damaged file may state: too small, not a
// whole number of words, up to or past the end, far past it.
TEST(PictureFileTest, DamagedFilesLoadOrFailCleanly) {
    TempDir dir;
    const struct {
        const char* file;
        QByteArray bytes;
    } samples[] = {
        {"a.bmp", SolidBmp(5, 3, kBlue)},
        {"rle.bmp", RleBmp(6, 3, 8, {kGreen, kRed, kBlue},
                           Stream({6, 1, 0, 0, 0, 3, 2, 1, 2, 0, 2, 1, 0, 0, 0, 1}))},
        {"a.wmf", Wmf(40, 30).Brush(kBlue).Rectangle({0, 0, 40, 30}).Ellipse({5, 5, 9, 9}).Bytes()},
        {"a.emf", Emf(40, 30, {0, 0, 40, 30}).Brush(kBlue).Ellipse({5, 5, 9, 9}).Bytes()},
    };
    std::mt19937 random(20240611);
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        const std::filesystem::path path = dir / sample.file;
        ASSERT_TRUE(LoadPictureFile((WriteBytes(path, sample.bytes), path)).has_value());
        for (qsizetype length = 0; length < sample.bytes.size(); ++length) {
            WriteBytes(path, sample.bytes.left(length));
            EXPECT_FALSE(LoadPictureFile(path).has_value()) << length;
        }
        for (int round = 0; round < 200; ++round) {
            QByteArray scrambled = sample.bytes;
            for (int flips = 1 + round % 4; flips > 0; --flips)
                scrambled[random() % scrambled.size()] = static_cast<char>(random());
            WriteBytes(path, scrambled);
            LoadPictureFile(path);
        }
        const auto length = static_cast<uint32_t>(sample.bytes.size());
        for (qsizetype offset = 0; offset + 4 <= sample.bytes.size(); offset += 4) {
            for (uint32_t size : {0u, 4u, 8u, 10u, length - 4, length, length + 4, 0x7FFFFFFCu}) {
                WriteBytes(path, Patched(sample.bytes, offset, size));
                LoadPictureFile(path);
            }
        }
    }
}

} // namespace
