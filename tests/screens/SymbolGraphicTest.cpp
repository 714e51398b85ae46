#include "PictureBytes.h"
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

void WriteBytes(const std::filesystem::path& file, const QByteArray& bytes) {
    WriteText(file, bytes.toStdString());
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

// Cut or scrambled files load or fail without harm (the sanitizers watch the parsers);
// a file cut anywhere before its end never loads.
TEST(PictureFileTest, DamagedFilesLoadOrFailCleanly) {
    TempDir dir;
    const struct {
        const char* file;
        QByteArray bytes;
    } samples[] = {
        {"a.bmp", SolidBmp(5, 3, kBlue)},
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
    }
}

} // namespace
