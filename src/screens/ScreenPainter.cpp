#include "ScreenPainter.h"

#include "ObjectLook.h"
#include "ProfileStore.h"
#include "ScreenFile.h"
#include "ScreenProperties.h"
#include "StyledText.h"
#include "TDataChannel.h"

#include <QBuffer>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace halvane {

namespace {

// In edit mode an object without a value text shows a focus rectangle this far around
// its (empty) text, which also becomes the area it can be grabbed at.
constexpr int kEmptyTextMargin = 10;

// Qt's PNG quality, which picks the zlib level: 80 to 89 give level 1, the fastest that
// still compresses (90 and above store the rows as they are, nine times larger). Screens are
// mostly flat areas, which level 1 packs as small as Qt's default level in half its time.
constexpr int kPngQuality = 85;

int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

MarkerRect Enlarge(const MarkerRect& rect, int by) {
    return {Saturate(int64_t{rect.Left} - by), Saturate(int64_t{rect.Top} - by),
            Saturate(int64_t{rect.Right} + by), Saturate(int64_t{rect.Bottom} + by)};
}

QRect ToQRect(const MarkerRect& rect) {
    return {rect.Left, rect.Top, Saturate(int64_t{rect.Right} - rect.Left),
            Saturate(int64_t{rect.Bottom} - rect.Top)};
}

void SnapObject(TScreenMarker& object, int grid) {
    const MarkerRect snapped = SnapToGrid(object.Rect(), grid);
    object.Left = snapped.Left;
    object.Top = snapped.Top;
    object.Right = snapped.Right;
    object.Bottom = snapped.Bottom;
}

void DrawSymbol(QPainter& canvas, const ScreenView& view, TScreenMarker& object, int index,
                std::span<const TDataChannel> tags) {
    if (const SymbolPicture* picture = CurrentSymbolPicture(object, tags))
        picture->Draw(canvas, ToQRect(object.Rect()));
    object.Bounds = object.Rect();
    if (view.editMode && view.marks.Selects(index))
        DrawFocusRect(canvas, object.Bounds);
}

// Selected objects get a solid frame two pixels outside what they cover, with a square on
// each corner; the rubber band is a dashed rectangle. Both in the selection colour, which
// reads on light and dark screens alike.
void DrawSelection(QPainter& canvas, const ScreenMarks& marks, const ObjectList& objects) {
    const QColor colour(0, 120, 215);
    canvas.save();
    canvas.setBrush(Qt::NoBrush);
    for (const int index : marks.selection.Indices()) {
        if (index < 0 || static_cast<size_t>(index) >= objects.size())
            continue;
        const QRect frame = ToQRect(Enlarge(objects[static_cast<size_t>(index)].Bounds, 2));
        canvas.setPen(QPen(colour, 1));
        canvas.drawRect(frame.adjusted(0, 0, -1, -1));
        for (const QPoint corner :
             {frame.topLeft(), frame.topRight(), frame.bottomLeft(), frame.bottomRight()})
            canvas.fillRect(QRect(corner - QPoint(2, 2), QSize(5, 5)), colour);
    }
    if (marks.band) {
        canvas.setPen(QPen(colour, 1, Qt::DashLine));
        canvas.drawRect(QRect(QPoint(marks.band->Left, marks.band->Top),
                              QPoint(marks.band->Right, marks.band->Bottom))
                            .normalized());
    }
    canvas.restore();
}

} // namespace

ScreenPainter::ScreenPainter(const ProfileStore& config, Clock clock)
    : m_config(config), m_clock(std::move(clock)) {}

ScreenFrame ScreenPainter::PaintScreen(const ScreenView& view, const ProfileStore& screenFile,
                                       ObjectList& objects,
                                       std::span<const TDataChannel> tags) const {
    const QSize size = view.clientSize.boundedTo({kMaxScreenSide, kMaxScreenSide});
    ScreenFrame frame{QImage(size, QImage::Format_RGB32),
                      screenFile.ReadBool(kScreenGeneralSection, "Background.Stretch", false)};
    if (frame.image.isNull())
        return frame;
    frame.image.fill(ColourFromStored(static_cast<uint32_t>(
        screenFile.ReadInteger(kScreenGeneralSection, "Background.Solid.Color", 0))));
    QPainter canvas(&frame.image);
    if (!view.background.isNull())
        canvas.drawImage(0, 0, view.background);
    const QDateTime now = m_clock();
    for (int index = static_cast<int>(objects.size()) - 1; index >= 0; --index)
        DrawObject(canvas, view, objects[static_cast<size_t>(index)], index, tags, now);
    if (view.editMode)
        DrawSelection(canvas, view.marks, objects);
    canvas.end();
    if (view.editMode && view.showGrid)
        InvertGrid(frame.image, kGridSize);
    return frame;
}

void ScreenPainter::DrawObject(QPainter& canvas, const ScreenView& view, TScreenMarker& object,
                               int index, std::span<const TDataChannel> tags,
                               const QDateTime& now) const {
    canvas.setBrush(Qt::NoBrush);
    canvas.setBackgroundMode(Qt::TransparentMode);
    if (view.snapToGrid)
        SnapObject(object, kGridSize);
    if (object.Type < kGraphicalSymbol)
        DrawTextObject(canvas, view, object, index, tags, now);
    else if (object.Type == kGraphicalSymbol)
        DrawSymbol(canvas, view, object, index, tags);
}

void ScreenPainter::DrawTextObject(QPainter& canvas, const ScreenView& view, TScreenMarker& object,
                                   int index, std::span<const TDataChannel> tags,
                                   const QDateTime& now) const {
    const ObjectLook look =
        ComposeObjectLook(object, index, {tags, m_config, now, view.marks.pressed});
    object.Bounds = DrawStyledText(canvas, m_config, object.UseStyle, object.Rect(), look.value,
                                   look.caption, look.highlighted, look.liveColours, look.framed);
    if (view.editMode && look.value.empty()) {
        object.Bounds = Enlarge(object.Bounds, kEmptyTextMargin);
        DrawFocusRect(canvas, object.Bounds);
    }
}

MarkerRect SnapToGrid(const MarkerRect& rect, int grid) {
    return {rect.Left - rect.Left % grid, rect.Top - rect.Top % grid,
            rect.Right - rect.Right % grid, rect.Bottom - rect.Bottom % grid};
}

void InvertGrid(QImage& image, int grid) {
    for (int j = 0; j < image.height() / grid; ++j) {
        for (int i = 0; i < image.width() / grid; ++i)
            image.setPixel(i * grid, j * grid, image.pixel(i * grid, j * grid) ^ 0xFFFFFFu);
    }
}

void DrawFocusRect(QPainter& canvas, const MarkerRect& rect) {
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top || canvas.device() == nullptr)
        return;
    // Only the part of the border that lies on the canvas is visited.
    const int64_t width = canvas.device()->width();
    const int64_t height = canvas.device()->height();
    const int64_t left = rect.Left, top = rect.Top;
    const int64_t right = int64_t{rect.Right} - 1, bottom = int64_t{rect.Bottom} - 1;
    QPolygon points;
    auto add = [&](int64_t x, int64_t y) {
        if (x >= 0 && x < width && y >= 0 && y < height && (x + y) % 2 == 0)
            points << QPoint(static_cast<int>(x), static_cast<int>(y));
    };
    for (int64_t x = std::max<int64_t>(left, 0); x <= std::min(right, width - 1); ++x) {
        add(x, top);
        if (bottom != top)
            add(x, bottom);
    }
    for (int64_t y = std::max(top + 1, int64_t{0}); y <= std::min(bottom - 1, height - 1); ++y) {
        add(left, y);
        if (right != left)
            add(right, y);
    }
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    canvas.setPen(QPen(QColor(255, 255, 255), 0));
    canvas.drawPoints(points);
    canvas.restore();
}

namespace {

std::vector<uint8_t> Encode(const QImage& image, const char* format, int quality = -1) {
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        return {};
    return {bytes.begin(), bytes.end()};
}

} // namespace

std::vector<uint8_t> EncodeBmp(const QImage& image) {
    return Encode(image, "BMP");
}

std::vector<uint8_t> EncodePng(const QImage& image) {
    return Encode(image, "PNG", kPngQuality);
}

} // namespace halvane
