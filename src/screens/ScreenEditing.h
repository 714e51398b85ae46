#pragma once

#include "ObjectList.h"
#include "ScreenPainter.h"

#include <QPoint>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

namespace halvane {

// Only pictures can be resized with the mouse: a text object's size follows its text.
constexpr bool HasResizeHandle(const TScreenMarker& object) {
    return object.Type > 99;
}

// A picture's handle: the 10 x 10 square centred on the bottom-right corner of its Bounds.
MarkerRect ResizeHandle(const TScreenMarker& object);

// The smallest client size that keeps inside every object that lies inside `client` now:
// the edit border stops there, so that no object leaves the screen and the next load finds
// each where it was. An object outside already holds nothing back.
QSize SmallestClientSize(const ObjectList& objects, QSize client);

// Moves the object as little as it takes for it to lie inside the client area (one larger
// than the screen begins at 0): a new object dropped near an edge, or the copy of an object
// inside the screen one grid step beyond it, would otherwise go to the origin at the next load.
void KeepInside(TScreenMarker& object, QSize client);

// Moves the objects at `indices` together by (dx, dy), as far as the client area lets the
// area they cover together go: they keep their distances to each other.
void MoveObjects(ObjectList& objects, const std::vector<int>& indices, int64_t dx, int64_t dy,
                 QSize client);

// The edit-mode mouse gestures of one screen: a left press grabs the topmost object under
// the pointer (by a picture's handle to resize it, anywhere else on it to move it), moves
// carry it, the release drops it; moves without a grabbed object only look at what lies
// under the pointer. The marks say which object is dragged, resized or hovered, so that
// the paint shows it. A dragged or resized object stays inside the client area: one with a
// corner outside the screen would go to the origin at the next load.
class ScreenEditing final {
public:
    // What the screen does after a gesture step: the cursor to set (none: keep it) and
    // whether to paint a new frame at once.
    struct Step {
        std::optional<Qt::CursorShape> cursor;
        bool repaint = false;
        bool operator==(const Step&) const = default;
    };

    Step Grab(const ObjectList& objects, ScreenMarks& marks, QPoint pointer);
    // A left press that also selects: an object grabbed becomes the selection unless it is
    // part of it already (then the whole selection follows the drag); a press on empty
    // space clears the selection and starts a rubber band. With `extend` (Shift or Ctrl)
    // a press on an object adds it to the selection or takes it out, and a band adds to it.
    Step Press(const ObjectList& objects, ScreenMarks& marks, QPoint pointer, bool extend);
    // `client` is the paint area's size: a drag follows the pointer only inside it.
    Step Move(ObjectList& objects, ScreenMarks& marks, QPoint pointer, QSize client) const;
    Step Drop(ObjectList& objects, ScreenMarks& marks, QPoint pointer, QSize client) const;

private:
    void Place(ObjectList& objects, const ScreenMarks& marks, QPoint pointer, QSize client) const;

    // The grabbed object's top-left corner from the pointer.
    int64_t m_dragOffsetX = 0;
    int64_t m_dragOffsetY = 0;
};

} // namespace halvane
