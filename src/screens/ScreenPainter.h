#pragma once

#include "ObjectList.h"
#include "Selection.h"

#include <QDateTime>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

class QPainter;

namespace halvane {

class ProfileStore;
struct TDataChannel;

inline constexpr int kGridSize = 10;

// The object indices a screen's mouse handling keeps; -1 for none.
struct ScreenMarks {
    int dragged = -1;
    int resized = -1;
    int popupTarget = -1;
    int hovered = -1;
    int pressed = -1;
    // Edit mode: the objects selected, and the rubber band being drawn from its first corner.
    Selection selection{};
    std::optional<MarkerRect> band{};
    bool operator==(const ScreenMarks&) const = default;
    // A picture shows its focus rectangle while it is any of the first four.
    bool Selects(int index) const {
        return index == dragged || index == resized || index == popupTarget || index == hovered;
    }
};

// What one paint reads of its screen window.
struct ScreenView {
    QSize clientSize;
    bool editMode = false;
    bool showGrid = true;
    bool snapToGrid = true;
    QImage background; // drawn at the top-left corner at its own size; null for none
    ScreenMarks marks;
};

// One composed frame and how the paint area shows it.
struct ScreenFrame {
    QImage image;
    bool stretch = false; // "Background.Stretch": scaled into the paint area
};

// Composes a screen's frame: the background, the objects from back to front and, in edit
// mode, the grid. Reads the styles and "Strings" of the configuration at every paint.
class ScreenPainter final {
public:
    using Clock = std::function<QDateTime()>;

    explicit ScreenPainter(
        const ProfileStore& config, Clock clock = [] { return QDateTime::currentDateTime(); });

    void SetClock(Clock clock) { m_clock = std::move(clock); }

    // A new frame of the view's client size, at most kMaxScreenSide each way. Writes every
    // drawn object's Bounds and, with snap to grid, its snapped rectangle back into `objects`.
    ScreenFrame PaintScreen(const ScreenView& view, const ProfileStore& screenFile,
                            ObjectList& objects, std::span<const TDataChannel> tags) const;

    // Draws the object at `index` of the object list onto `canvas`.
    void DrawObject(QPainter& canvas, const ScreenView& view, TScreenMarker& object, int index,
                    std::span<const TDataChannel> tags, const QDateTime& now) const;

private:
    void DrawTextObject(QPainter& canvas, const ScreenView& view, TScreenMarker& object, int index,
                        std::span<const TDataChannel> tags, const QDateTime& now) const;

    const ProfileStore& m_config;
    Clock m_clock;
};

// c - (c rem grid) for each coordinate, the remainder truncated toward zero.
MarkerRect SnapToGrid(const MarkerRect& rect, int grid);

// Inverts every pixel whose coordinates are both multiples of `grid`, within the whole
// grid cells of the image.
void InvertGrid(QImage& image, int grid);

// A dotted, colour-inverting rectangle on the border of `rect` (right and bottom
// exclusive): every border pixel whose x + y is even.
void DrawFocusRect(QPainter& canvas, const MarkerRect& rect);

// The bytes of a BMP file holding `image`; empty for a null image.
std::vector<uint8_t> EncodeBmp(const QImage& image);
// The bytes of a PNG file holding `image`, compressed for speed rather than size; empty for a
// null image.
std::vector<uint8_t> EncodePng(const QImage& image);

} // namespace halvane
