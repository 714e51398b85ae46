#pragma once

#include <QTimer>

namespace halvane {

// Starts `timer`, on its own thread, unless it is running: a window told of a change on
// any thread refreshes once the timer's interval has passed, however many changes came.
inline void RefreshSoon(QTimer* timer) {
    QMetaObject::invokeMethod(
        timer,
        [timer] {
            if (!timer->isActive())
                timer->start();
        },
        Qt::QueuedConnection);
}

} // namespace halvane
