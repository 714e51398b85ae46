#include "ScreenEditing.h"

#include "RunTimeClick.h"
#include "ScreenFile.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace halvane {

namespace {

constexpr int kHandleHalf = 5;
// A resized picture keeps more than this many pixels in each direction.
constexpr int kSmallestResize = 10;

bool Inside(QSize client, QPoint pointer) {
    return QRect(QPoint(0, 0), client).contains(pointer);
}

int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

bool IsMark(int mark, const ObjectList& objects) {
    return mark >= 0 && static_cast<size_t>(mark) < objects.size();
}

// Where a side of `length` pixels begins when it would begin at `wanted`: its far end stays
// on `last` or before, and one longer than the screen begins at 0.
int64_t KeptWithin(int64_t wanted, int64_t length, int64_t last) {
    return std::clamp<int64_t>(wanted, 0, std::max<int64_t>(0, last - length));
}

// Puts the object's top-left corner as near `wantedLeft`, `wantedTop` as the client area
// lets it, keeping its size.
void PlaceWithin(TScreenMarker& object, int64_t wantedLeft, int64_t wantedTop, QSize client) {
    const int64_t width = int64_t{object.Right} - object.Left;
    const int64_t height = int64_t{object.Bottom} - object.Top;
    const int64_t left = KeptWithin(wantedLeft, width, client.width() - 1);
    const int64_t top = KeptWithin(wantedTop, height, client.height() - 1);
    object.Left = Saturated(left);
    object.Top = Saturated(top);
    object.Right = Saturated(left + width);
    object.Bottom = Saturated(top + height);
}

} // namespace

MarkerRect ResizeHandle(const TScreenMarker& object) {
    const MarkerRect& b = object.Bounds;
    return {b.Right - kHandleHalf, b.Bottom - kHandleHalf, b.Right + kHandleHalf,
            b.Bottom + kHandleHalf};
}

QSize SmallestClientSize(const ObjectList& objects, QSize client) {
    QSize smallest(0, 0);
    for (const TScreenMarker& object : objects) {
        if (CornersInside(object.Rect(), client.width(), client.height()))
            smallest = smallest.expandedTo({object.Right + 1, object.Bottom + 1});
    }
    return smallest;
}

// Each object is looked at whole (handle, then body) before the next one, from the top.
ScreenEditing::Step ScreenEditing::Grab(const ObjectList& objects, ScreenMarks& marks,
                                        QPoint pointer) {
    marks.popupTarget = -1;
    marks.hovered = -1;
    for (size_t i = 0; i < objects.size(); ++i) {
        const TScreenMarker& object = objects[i];
        if (HasResizeHandle(object) && BoundsContain(ResizeHandle(object), pointer)) {
            marks.resized = static_cast<int>(i);
            return {Qt::SizeAllCursor, false};
        }
        if (BoundsContain(object.Bounds, pointer)) {
            marks.dragged = static_cast<int>(i);
            m_dragOffsetX = int64_t{object.Left} - pointer.x();
            m_dragOffsetY = int64_t{object.Top} - pointer.y();
            return {Qt::SizeAllCursor, false};
        }
    }
    return {};
}

ScreenEditing::Step ScreenEditing::Move(ObjectList& objects, ScreenMarks& marks, QPoint pointer,
                                        QSize client) const {
    // A new frame only when the object changed.
    if (IsMark(marks.dragged, objects)) {
        const bool inside = Inside(client, pointer);
        if (inside)
            Place(objects[static_cast<size_t>(marks.dragged)], pointer, client);
        return {Qt::SizeAllCursor, inside};
    }
    if (IsMark(marks.resized, objects)) {
        // The corner follows the pointer up to the screen's last column and row.
        TScreenMarker& object = objects[static_cast<size_t>(marks.resized)];
        const int right = std::min(pointer.x(), client.width() - 1);
        const int bottom = std::min(pointer.y(), client.height() - 1);
        const bool resized = int64_t{right} - object.Left > kSmallestResize &&
                             int64_t{bottom} - object.Top > kSmallestResize;
        if (resized) {
            object.Right = right;
            object.Bottom = bottom;
        }
        return {Qt::SizeFDiagCursor, resized};
    }
    marks.hovered = -1;
    std::optional<Qt::CursorShape> cursor;
    for (size_t i = 0; i < objects.size(); ++i) {
        const TScreenMarker& object = objects[i];
        if (HasResizeHandle(object) && BoundsContain(ResizeHandle(object), pointer)) {
            marks.hovered = static_cast<int>(i);
            return {Qt::SizeFDiagCursor, false};
        }
        if (BoundsContain(object.Bounds, pointer)) {
            marks.hovered = static_cast<int>(i);
            return {Qt::PointingHandCursor, false};
        }
        cursor = Qt::ArrowCursor;
    }
    return {cursor, false};
}

ScreenEditing::Step ScreenEditing::Drop(ObjectList& objects, ScreenMarks& marks, QPoint pointer,
                                        QSize client) const {
    if (marks.dragged >= 0) {
        if (IsMark(marks.dragged, objects) && Inside(client, pointer))
            Place(objects[static_cast<size_t>(marks.dragged)], pointer, client);
        marks.dragged = -1;
        return {Qt::ArrowCursor, true};
    }
    if (marks.resized >= 0) {
        marks.resized = -1;
        return {Qt::ArrowCursor, false};
    }
    return {};
}

// The object keeps its size and, as far as the screen's edges let it, the point where it
// was grabbed; coordinates that a file put far away stay within what a file can hold.
void ScreenEditing::Place(TScreenMarker& object, QPoint pointer, QSize client) const {
    PlaceWithin(object, pointer.x() + m_dragOffsetX, pointer.y() + m_dragOffsetY, client);
}

void KeepInside(TScreenMarker& object, QSize client) {
    PlaceWithin(object, object.Left, object.Top, client);
}

} // namespace halvane
