#pragma once

#include <QRect>

class QWidget;

namespace halvane {

// `frame` moved as little as needed to lie within `area`. A frame larger than the area
// keeps its top-left corner in the area's, so that a title bar stays reachable.
QRect KeptWithin(QRect frame, const QRect& area);

// Moves `window` so that its frame lies within the available area (without task bars) of
// the screen it is on, or of its own screen when its position is on none. Called by a
// window that places itself, once its size is known, before it opens.
void KeepWithinScreen(QWidget& window);

} // namespace halvane
