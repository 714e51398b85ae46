#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace halvane {

QRect KeptWithin(QRect frame, const QRect& area) {
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    frame.moveTop(std::max(frame.top(), area.top()));
    return frame;
}

void KeepWithinScreen(QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QScreen* screen = QGuiApplication::screenAt(frame.topLeft());
    if (screen == nullptr)
        screen = window.screen();
    if (screen == nullptr)
        return;
    const QRect kept = KeptWithin(frame, screen->availableGeometry());
    if (kept != frame)
        window.move(kept.topLeft());
}

} // namespace halvane
