#pragma once

#include <QApplication>

namespace halvane {

// The wait cursor over the whole program for as long as it lives: a password hash or check
// takes a noticeable moment.
class WaitCursor final {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace halvane
