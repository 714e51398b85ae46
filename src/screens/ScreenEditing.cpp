#include "ScreenEditing.h"

#include "ObjectArrangement.h"
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

// The grabbed object and, when it is part of the selection, every other selected object.
std::vector<int> DraggedGroup(const ObjectList& objects, const ScreenMarks& marks) {
    if (!marks.selection.Contains(marks.dragged))
        return {marks.dragged};
    std::vector<int> group = marks.selection.Indices();
    std::erase_if(group, [&objects](int index) { return !IsMark(index, objects); });
    return group;
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

ScreenEditing::Step ScreenEditing::Press(const ObjectList& objects, ScreenMarks& marks,
                                         QPoint pointer, bool extend) {
    const Selection before = marks.selection;
    if (extend) {
        marks.popupTarget = -1;
        marks.hovered = -1;
        const int index = FrontObjectAt(objects, pointer);
        if (index >= 0)
            marks.selection.Toggle(index);
        else
            marks.band = MarkerRect{pointer.x(), pointer.y(), pointer.x(), pointer.y()};
        return {std::nullopt, marks.selection != before};
    }
    Step step = Grab(objects, marks, pointer);
    const int grabbed = marks.dragged >= 0 ? marks.dragged : marks.resized;
    if (grabbed < 0) {
        marks.selection.Clear();
        marks.band = MarkerRect{pointer.x(), pointer.y(), pointer.x(), pointer.y()};
    } else if (!marks.selection.Contains(grabbed)) {
        marks.selection.Set(grabbed);
    }
    step.repaint = marks.selection != before;
    return step;
}

ScreenEditing::Step ScreenEditing::Move(ObjectList& objects, ScreenMarks& marks, QPoint pointer,
                                        QSize client) const {
    if (marks.band) {
        marks.band->Right = pointer.x();
        marks.band->Bottom = pointer.y();
        return {std::nullopt, true};
    }
    // A new frame only when the object changed.
    if (IsMark(marks.dragged, objects)) {
        const bool inside = Inside(client, pointer);
        if (inside)
            Place(objects, marks, pointer, client);
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
    if (marks.band) {
        marks.band->Right = pointer.x();
        marks.band->Bottom = pointer.y();
        marks.selection.AddWithin(objects, *marks.band);
        marks.band.reset();
        return {std::nullopt, true};
    }
    if (marks.dragged >= 0) {
        if (IsMark(marks.dragged, objects) && Inside(client, pointer))
            Place(objects, marks, pointer, client);
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
// was grabbed; coordinates that a file put far away stay within what a file can hold. The
// other selected objects keep their distances to it.
void ScreenEditing::Place(ObjectList& objects, const ScreenMarks& marks, QPoint pointer,
                          QSize client) const {
    const TScreenMarker& grabbed = objects[static_cast<size_t>(marks.dragged)];
    MoveObjects(objects, DraggedGroup(objects, marks), pointer.x() + m_dragOffsetX - grabbed.Left,
                pointer.y() + m_dragOffsetY - grabbed.Top, client);
}

void MoveObjects(ObjectList& objects, const std::vector<int>& indices, int64_t dx, int64_t dy,
                 QSize client) {
    if (indices.empty())
        return;
    int64_t left = std::numeric_limits<int64_t>::max(), top = left;
    int64_t right = std::numeric_limits<int64_t>::min(), bottom = right;
    for (const int index : indices) {
        const TScreenMarker& object = objects[static_cast<size_t>(index)];
        left = std::min<int64_t>(left, object.Left);
        top = std::min<int64_t>(top, object.Top);
        right = std::max<int64_t>(right, object.Right);
        bottom = std::max<int64_t>(bottom, object.Bottom);
    }
    const int64_t movedX = KeptWithin(left + dx, right - left, client.width() - 1) - left;
    const int64_t movedY = KeptWithin(top + dy, bottom - top, client.height() - 1) - top;
    for (const int index : indices)
        Shift(objects[static_cast<size_t>(index)], movedX, movedY);
}

void KeepInside(TScreenMarker& object, QSize client) {
    PlaceWithin(object, object.Left, object.Top, client);
}

} // namespace halvane
