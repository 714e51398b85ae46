#include "StyledText.h"

#include "ProfileStore.h"
#include "StoredText.h"
#include "TextStyles.h"

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

namespace halvane {
namespace {

constexpr int kDefaultHeight = 16; // points
constexpr int kValueOffset = 0;
constexpr int kCaptionOffset = 20;
constexpr int kFrameMargin = 2;
constexpr int kGrey = 100;
constexpr int kPointsPerInch = 72;
constexpr int kDefaultDpi = 96;
// Large enough that measuring a font at this pixel size gives its proportions exactly.
constexpr int kReferencePixelSize = 1000;
// Text this tall is already far beyond any screen; it keeps absurd stored heights harmless.
constexpr double kMaxPixelHeight = 4096;

// A coordinate moved by `offset`, held within the range of stored coordinates.
int32_t Shifted(int32_t coordinate, int64_t offset) {
    return static_cast<int32_t>(std::clamp<int64_t>(coordinate + offset,
                                                    std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

QString Shown(const std::string& stored) {
    return QString::fromStdString(StoredTextToUtf8(stored));
}

// The stored height read as a point size: minus (stored × dpi / 72), rounded. Negative
// results are character heights (without internal leading), positive ones cell heights.
int DrawingHeight(int stored, int dpi) {
    const double height = -std::round(static_cast<double>(stored) * dpi / kPointsPerInch);
    return static_cast<int>(std::clamp(height, -kMaxPixelHeight, kMaxPixelHeight));
}

// The largest whole character height whose cell (ascent + descent) is at most `cell`
// pixels in this face. The toolkit sizes fonts in whole pixels, so a cell height between
// two sizes' cells gets the smaller one.
int CharacterHeightForCell(QFont font, int cell, const QPaintDevice* device) {
    font.setPixelSize(kReferencePixelSize);
    const QFontMetricsF reference(font, device);
    const double referenceCell = reference.ascent() + reference.descent();
    int height = cell;
    if (referenceCell > 0)
        height =
            std::max(1, static_cast<int>(std::lround(cell * kReferencePixelSize / referenceCell)));
    const auto cellOf = [&](int pixels) {
        font.setPixelSize(pixels);
        return QFontMetrics(font, device).height();
    };
    while (height > 1 && cellOf(height) > cell)
        --height;
    while (height < kMaxPixelHeight && cellOf(height + 1) <= cell)
        ++height;
    return height;
}

QColor TextColour(const ProfileStore& store, int style, char prefix, bool liveColours) {
    if (!liveColours)
        return QColor(kGrey, kGrey, kGrey);
    const StyleColour colour = ReadStyleColour(store, style, prefix);
    return QColor(colour.red, colour.green, colour.blue);
}

// Writes the text with its top-left corner placed by the alignment inside the rectangle's
// left and right edges at its top; returns the rectangle the text occupies.
MarkerRect PlaceText(QPainter& painter, const MarkerRect& rect, const QString& text,
                     int alignment) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(text);
    int32_t x = rect.Left;
    if (alignment == kStyleAlignCentre)
        x = Shifted(rect.Left, (int64_t{rect.Right} - rect.Left - width) / 2);
    else if (alignment == kStyleAlignRight)
        x = Shifted(rect.Right, -int64_t{width});
    painter.drawText(QPoint(x, Shifted(rect.Top, metrics.ascent())), text);
    return {x, rect.Top, Shifted(x, width), Shifted(rect.Top, metrics.height())};
}

MarkerRect DrawComponent(QPainter& painter, const ProfileStore& store, int style, char prefix,
                         MarkerRect rect, int defaultOffset, const std::string& text,
                         bool liveColours) {
    const int alignment = ReadStyleAlignment(store, style, prefix);
    LoadStyleFont(painter, store, style, prefix, liveColours);
    // The caption's offset has a default of its own, which the editor does not show.
    rect.Top = Shifted(rect.Top, store.ReadInteger(StyleSection(style), StyleKey(prefix, "HOffset"),
                                                   defaultOffset));
    rect.Bottom = rect.Top;
    return PlaceText(painter, rect, Shown(text), alignment);
}

// A one-pixel frame on the outermost columns and rows of `rect` (right and bottom outside).
void DrawFrame(QPainter& painter, const MarkerRect& rect, const QColor& colour) {
    const int width = rect.Right - rect.Left;
    const int height = rect.Bottom - rect.Top;
    painter.fillRect(rect.Left, rect.Top, width, 1, colour);
    painter.fillRect(rect.Left, rect.Bottom - 1, width, 1, colour);
    painter.fillRect(rect.Left, rect.Top, 1, height, colour);
    painter.fillRect(rect.Right - 1, rect.Top, 1, height, colour);
}

} // namespace

MarkerRect DrawStyledText(QPainter& painter, const ProfileStore& store, int style,
                          const MarkerRect& rect, const std::string& value,
                          const std::string& caption, bool highlighted, bool liveColours,
                          bool framed) {
    const char valuePrefix = highlighted ? 'A' : 'M';
    const MarkerRect occupied =
        DrawComponent(painter, store, style, valuePrefix, rect, kValueOffset, value, liveColours);
    if (!store.ReadBool(StyleSection(style), "HideDescription", false))
        DrawComponent(painter, store, style, 'D', rect, kCaptionOffset, caption, liveColours);
    if (framed) {
        const MarkerRect frame{
            Shifted(occupied.Left, -kFrameMargin), Shifted(occupied.Top, -kFrameMargin),
            Shifted(occupied.Right, kFrameMargin), Shifted(occupied.Bottom, kFrameMargin)};
        DrawFrame(painter, frame, painter.pen().color());
    }
    return occupied;
}

void LoadStyleFont(QPainter& painter, const ProfileStore& store, int style, char prefix,
                   bool liveColours) {
    const std::string section = StyleSection(style);
    QFont font(Shown(store.ReadString(section, StyleKey(prefix, "Name"), "Arial")));
    font.setBold(store.ReadBool(section, StyleKey(prefix, "Bold"), false));
    font.setItalic(store.ReadBool(section, StyleKey(prefix, "Italic"), false));
    // Drawing fonts are meant for character set 238 (Central European). The toolkit has no
    // character sets: it picks each glyph by its Unicode code point, and stored texts are
    // decoded to Unicode before they are drawn.
    const QPaintDevice* device = painter.device();
    const int stored = store.ReadInteger(section, StyleKey(prefix, "Height"), kDefaultHeight);
    SetFontPixelHeight(font, DrawingHeight(stored, DeviceDpi(device)), device);
    painter.setFont(font);
    painter.setPen(TextColour(store, style, prefix, liveColours));
}

int DeviceDpi(const QPaintDevice* device) {
    return device != nullptr && device->logicalDpiY() > 0 ? device->logicalDpiY() : kDefaultDpi;
}

void SetFontPixelHeight(QFont& font, int height, const QPaintDevice* device) {
    const int pixels =
        std::clamp(height, -static_cast<int>(kMaxPixelHeight), static_cast<int>(kMaxPixelHeight));
    if (pixels < 0)
        font.setPixelSize(-pixels);
    else if (pixels > 0)
        font.setPixelSize(CharacterHeightForCell(font, pixels, device));
}

} // namespace halvane
